#pragma once
// An author's game folder: which folder holds what, and the entry name each
// file gets in the archives. velmora-pack new, build and extract and the
// checker all read the layout from here.
#include <string>
#include <vector>

namespace velmora::tools {

// What a source folder becomes.
enum class SourceKind { Script, Picture, Sound, Loop, Voice, Music, Anim };

struct LayoutFolder {
    const char* folder;   // inside the game folder
    SourceKind kind;
    const char* archive;  // what build writes into dist/
};

// In build order. "config.txt" beside the folders is the configuration block.
constexpr LayoutFolder kLayoutFolders[] = {
    {"scripts", SourceKind::Script, "vk_data.vrk"}, {"pictures", SourceKind::Picture, "vk_gra.vrk"},
    {"sounds", SourceKind::Sound, "vk_se0.vrk"},    {"loops", SourceKind::Loop, "vk_se2.vrk"},
    {"voices", SourceKind::Voice, "vk_ogg1.vrk"},   {"music", SourceKind::Music, "vk_bgm.vrk"},
    {"anim", SourceKind::Anim, "vk_anim.vrk"},
};
constexpr const char* kConfigFile = "config.txt";
constexpr const char* kDistFolder = "dist";

// The entry name of a source file: its name up to the first dot, upper-cased
// ("bg_room.stacked.png" is "BG_ROOM").
std::string EntryNameOf(const std::string& fileName);
// Whether a file of the folder is one build takes (by its extension); hidden
// files and editor backups are not.
bool IsSourceFile(SourceKind kind, const std::string& fileName);
// The names of the entries (files, or for anim the subfolders) of a folder,
// sorted; empty when it does not exist.
std::vector<std::string> ListFolder(const std::string& dir, bool folders);

}  // namespace velmora::tools
