// The expression language: left-to-right arithmetic, variable names,
// terminators and errors, and the condition chains.
#include <gtest/gtest.h>

#include <cstring>

#include "script/variables.h"

using namespace velmora;

namespace {

struct Expr : ::testing::Test {
    VarBanks v;
    EngineRandom rng;
    int32_t Eval(const char* text) { return EvalExpression(v, rng, text).value; }
    ExprError Error(const char* text) { return EvalExpression(v, rng, text).error; }
    bool Cond(const char* text) { return EvalCondition(v, rng, text); }
};

}  // namespace

TEST_F(Expr, ArithmeticHasNoPrecedence) {
    EXPECT_EQ(Eval("2+3*4"), 20);
    EXPECT_EQ(Eval("10-2-3"), 5);
    EXPECT_EQ(Eval("-5"), -5);
    EXPECT_EQ(Eval("7/2"), 3);
    EXPECT_EQ(Eval("0-7/2"), -3);  // truncates toward zero
    EXPECT_EQ(Eval("10/0"), 0);
    EXPECT_EQ(Eval("7%0"), 0);
    EXPECT_EQ(Eval("12_&10"), 8);
    EXPECT_EQ(Eval("12_|3"), 15);
    EXPECT_EQ(Eval("6_X3"), 5);
    EXPECT_EQ(Eval("65536*65536"), 0);  // the low 32 bits
}

TEST_F(Expr, StopsAtEveryTerminator) {
    for (const char* t : {"!", "&", ",", ";", "<", "=", ">", "]", "|"}) {
        std::string text = std::string("12") + t + "5";
        ExprResult r = EvalExpression(v, rng, text.c_str());
        EXPECT_EQ(r.value, 12) << text;
        EXPECT_EQ(r.stop, 2) << text;
        EXPECT_EQ(r.error, ExprError::None) << text;
    }
}

TEST_F(Expr, VariablesReplaceTheOperand) {
    v.V[1] = 4;
    v.V[5] = 12;
    v.V[12] = 99;
    v.S[26] = 8;
    v.G[3] = -2;
    SetBit(v.F, kFBits, 10, true);
    SetBit(v.T, kTBits, 9999, true);
    EXPECT_EQ(Eval("V001+1"), 5);
    EXPECT_EQ(Eval("P005"), 99);
    EXPECT_EQ(Eval("S026*2"), 16);
    EXPECT_EQ(Eval("G3"), -2);
    EXPECT_EQ(Eval("F010+F011"), 1);
    EXPECT_EQ(Eval("T9999"), 1);
    EXPECT_EQ(Eval("3V001"), 4);    // a reference does not combine with digits read
    EXPECT_EQ(Eval("S500"), 0);     // not a system variable
    v.V[7] = 5000;
    EXPECT_EQ(Eval("P007"), 0);     // V(5000) does not exist
    v.V[8] = -1;
    EXPECT_EQ(Eval("0-2147483647-1/V008"), INT32_MIN);  // wraps instead of trapping
}

TEST_F(Expr, ErrorsAreTold) {
    EXPECT_EQ(Error("v001"), ExprError::Invalid);  // lower case
    EXPECT_EQ(Eval("1 + 2"), 0);
    EXPECT_EQ(Error("(1)"), ExprError::Invalid);
    EXPECT_EQ(Error("V5+1"), ExprError::Conversion);
    EXPECT_EQ(Error("R0"), ExprError::Conversion);
    EXPECT_EQ(Error("R"), ExprError::Conversion);
    EXPECT_EQ(Error("V01"), ExprError::None);  // the text may end inside the number
}

TEST_F(Expr, RandomStaysBelowItsBound) {
    for (int i = 0; i < 200; ++i) {
        int32_t r = Eval("R6");
        EXPECT_GE(r, 0);
        EXPECT_LT(r, 6);
    }
    EXPECT_EQ(Eval("R1"), 0);
}

TEST_F(Expr, ConditionChainsDecideLeftToRight) {
    v.V[1] = 1;
    v.V[2] = 0;
    v.V[3] = 3;
    EXPECT_TRUE(Cond("(V001=1&V002=2|V003=3)"));  // A and (B or C)
    v.V[3] = 0;
    EXPECT_FALSE(Cond("(V001=1&V002=2|V003=3)"));
    v.V[1] = 0;
    v.V[3] = 3;
    EXPECT_FALSE(Cond("(V001=1&V002=2|V003=3)"));
    EXPECT_TRUE(Cond("(V003=3|V001=1&V002=2)"));  // A or (B and C)
    v.V[1] = 3;
    EXPECT_TRUE(Cond("(V001<=3)"));
    EXPECT_FALSE(Cond("(V001<3)"));
    EXPECT_TRUE(Cond("(V001==3)"));
    v.V[1] = 4;
    EXPECT_TRUE(Cond("(V001!3)"));
    EXPECT_TRUE(Cond("(V001!=3)"));
    EXPECT_TRUE(Cond("( v001 >= 4 )"));  // upper-cased, spaces removed
    EXPECT_FALSE(Cond("(V001)"));         // no comparison counts as false
    EXPECT_TRUE(Cond("(0-1<0)"));         // signed
}

TEST_F(Expr, ConditionConversionErrorIsReported) {
    bool conversion = false;
    EXPECT_FALSE(EvalCondition(v, rng, "(V5=1)", &conversion));
    EXPECT_TRUE(conversion);
}

TEST(Banks, BitLayoutAndBounds) {
    VarBanks v;
    EXPECT_TRUE(SetVar(v, 'F', 9, 1));
    EXPECT_EQ(v.F[1], 0x02);  // bit 9 is bit 1 of byte 1
    EXPECT_FALSE(SetVar(v, 'F', 1024, 1));
    EXPECT_FALSE(SetVar(v, 'T', 10000, 1));
    EXPECT_EQ(GetVar(v, 'F', 1024), 0);
    EXPECT_EQ(GetVar(v, 'T', 10000), 0);
    EXPECT_FALSE(SetVar(v, 'F', 9, 2));
    EXPECT_EQ(GetVar(v, 'F', 9), 1);
    EXPECT_FALSE(SetVar(v, 'S', 200, 5));
    EXPECT_FALSE(SetVar(v, 'V', -1, 5));
    EXPECT_FALSE(SetVar(v, 'Q', 1, 5));
    v.V[5] = 12;
    EXPECT_TRUE(SetVar(v, 'P', 5, 7));
    EXPECT_EQ(v.V[12], 7);
    v.V[5] = 1000;
    EXPECT_FALSE(SetVar(v, 'P', 5, 7));
    // Nothing outside the banks was touched.
    VarBanks clean;
    clean.V[5] = 1000;
    clean.V[12] = 7;
    clean.F[1] = 0x02;
    EXPECT_EQ(0, std::memcmp(&v, &clean, sizeof v));
}
