#!/usr/bin/python3
"""Browser tests in headless Firefox-ESR, driven over WebDriver BiDi
(tests/web/bidi.py) with real mouse and key input: the opening against the
native run, a save through the save dialog and a setting that outlive a
reload, a quick save that outlives a closed tab, every dialog and menu as
HTML, the yes/no box as the browser's own, and sound (an effect and a
voice) after the first click.

    tests/web/test_firefox.py SITE_DIR NATIVE_VELMORA DEMO_DIR
"""
import os
import shutil
import sys
import tempfile
import time
import unittest

from bidi import BiDiError, Firefox
from web_support import compare, data_url_png, demo_chunks, native_screenshots, serve

SITE, NATIVE, DEMO = (os.path.abspath(a) for a in sys.argv[1:4])

# From the title: "はじめから" and the first page; "つづきから" (the load dialog).
START = 'wait 2500\nmove 400 159\nclick 400 159\nwait 1500\n'
CONTINUE = 'wait 2500\nmove 400 209\nclick 400 209\nwait 600\n'
PLAYING = 0x1012  # AL_PLAYING


def setUpModule():
    global server, base_url, ff, profile
    server, base_url = serve(SITE)
    profile = tempfile.mkdtemp(prefix='velmora-firefox-')
    # Room for the page's tool bar above the picture, so the picture is shown at its own size.
    ff = Firefox(profile, height=640)


def tearDownModule():
    ff.quit()
    server.shutdown()
    shutil.rmtree(profile, ignore_errors=True)


def wait_ready():
    error = ff.call('() => new Promise((done) => { const t = setInterval(() => { if (window.velmora) {'
                    ' clearInterval(t); velmora.ready.then(() => done(null), (e) => done(String(e))); } }, 20); })')
    assert error is None, error


def open_page(query='test=1'):
    ff.navigate(base_url + 'index.html?' + query)
    wait_ready()


def open_player_page():
    """The player's page, once it shows its start notice."""
    ff.navigate(base_url + 'index.html')
    ff.call('() => new Promise((done) => { const t = setInterval(() => {'
            ' if (document.getElementById("notice-text").textContent === "クリックで開始") {'
            ' clearInterval(t); done(); } }, 20); })')


def events(text):
    error = ff.call('(t) => velmora.events(t).then(() => null, (e) => String(e))', text)
    assert error is None, error


def shown_text():
    return ff.run('velmora.shownText()')


def screenshot():
    return data_url_png(ff.run('velmora.screenshot()'))


def wait_for_sync():
    ff.call('() => new Promise((done) => { const t = setInterval(() => {'
            ' if (!window.velmoraSyncing()) { clearInterval(t); done(); } }, 20); })')


def click_text(selector, text):
    """A real click on the element matching selector whose text is text."""
    found = ff.call('(s, t) => Array.from(document.querySelectorAll(s)).find((e) => e.textContent.trim() === t)',
                    selector, text)
    if found is None:
        seen = ff.call('(s) => Array.from(document.querySelectorAll(s)).map((e) => e.textContent.trim())', selector)
        raise AssertionError(f'no {selector} says {text!r}: {seen}')
    ff.click(found)


def click_picture(px, py, wait=True):
    """A click on the point (px, py) of the 800 x 600 picture, wherever the page shows it."""
    r = ff.run('document.getElementById("screen").getBoundingClientRect().toJSON()')
    ff.click_at(r['left'] + (px + 0.5) * r['width'] / 800, r['top'] + (py + 0.5) * r['height'] / 600, wait=wait)


def form_texts(selector):
    return ff.call('(s) => Array.from(document.querySelectorAll(s)).map((e) => e.textContent.trim())', selector)


def sources_playing():
    """The OpenAL emulation's sources that play, by id."""
    return ff.run('(() => { const c = window.AL && AL.currentCtx; if (!c) return [];'
                  ' return Object.keys(c.sources).filter((k) => c.sources[k].state === 0x1012); })()')


class FirefoxTest(unittest.TestCase):
    def run(self, result=None):
        # What the page said helps most when something went wrong.
        before = len(result.failures) + len(result.errors) if result else 0
        ff.log.clear()
        super().run(result)
        if result and len(result.failures) + len(result.errors) > before and ff.log:
            sys.stderr.write('page log:\n  ' + '\n  '.join(ff.log[-30:]) + '\n')

    def assertLooksNative(self, native, name):
        differ, far = compare(native, screenshot())
        self.assertLess(far, 0.02, f'{name}: {far:.2%} of the pixels far off ({differ:.2%} differ)')
        self.assertLess(differ, 0.15, f'{name}: {differ:.2%} of the pixels differ')


class Story(FirefoxTest):
    """The test page plays the demo as the native runner does; what the
    canvas shows is the engine's picture."""

    def test_opening_then_the_name_entry(self):
        chunks = demo_chunks('08-load.png')
        naming = 'click 400 300\nwait 2500\nclick 400 300\nwait 2500\nclick 400 300\nwait 500\n'
        native = native_screenshots(NATIVE, DEMO, chunks[:2] + [
            (''.join(t for t, _ in chunks[2:]), '08-load.png'),
            (naming + 'dialog type 空\ndialog press ＯＫ\nwait 2500\n', '08b-named.png')])
        open_page()
        events(chunks[0][0] + chunks[1][0])
        self.assertLooksNative(native['01a-first-page.png'], 'first page')
        self.assertIn('ミナ', shown_text())
        canvas = ff.run('(() => { const c = document.getElementById("screen");'
                        ' return [c.width, c.height, c.getBoundingClientRect().width, c.toDataURL()]; })()')
        self.assertEqual(canvas[:3], [800, 600, 800])
        differ, _ = compare(screenshot(), data_url_png(canvas[3]))
        self.assertEqual(differ, 0, 'the canvas does not show the engine\'s picture')

        events(''.join(t for t, _ in chunks[2:]))
        self.assertLooksNative(native['08-load.png'], 'loaded')
        # The name entry: typed into the HTML box, confirmed by its button.
        events(naming)
        field = ff.run('document.querySelector(".vm-form input:not([type])")')
        self.assertIsNotNone(field, form_texts('.vm-form .vm-c'))
        ff.click(field)
        ff.type_keys('空')
        click_text('.vm-form button', 'ＯＫ')
        events('wait 2500\n')
        self.assertTrue(ff.run('document.getElementById("form-layer").hidden'))
        self.assertLooksNative(native['08b-named.png'], 'named')


class Dialogs(FirefoxTest):
    """Menus and dialogs appear as HTML and take real clicks and keys."""

    def test_right_click_menu_opens_the_backlog(self):
        before = 'click 400 300\nwait 2500\nclick 400 300\nwait 2500\n'
        native = native_screenshots(NATIVE, DEMO, [
            (START + before + 'click 400 300 right\nwait 100\nmenu バックログ\nwait 300\n', 'backlog.png')])
        open_page()
        events(START + before + 'click 400 300 right\nwait 100\n')
        items = form_texts('.vm-menu div')
        self.assertIn('クイックセーブ', items)
        click_text('.vm-menu div', 'バックログ')
        events('wait 300\n')
        self.assertTrue(ff.run('document.getElementById("form-layer").hidden'))
        self.assertLooksNative(native['backlog.png'], 'backlog')

    def test_save_list_and_settings_tabs(self):
        open_page()
        events(START + 'key s\nwait 100\n')
        heads = form_texts('.vm-list th')
        self.assertGreaterEqual(len(heads), 2, heads)
        self.assertGreater(len(form_texts('.vm-list tr')), 3)
        click_text('.vm-form button', '閉じる')
        events('wait 100\n')
        self.assertTrue(ff.run('document.getElementById("form-layer").hidden'))

        # A browser without speech synthesis: the self-voicing switch says what it lacks.
        ff.run('Object.defineProperty(window, "speechSynthesis", {value: undefined, configurable: true})')
        events('key c\nwait 100\n')
        tabs = form_texts('.vm-tabs button')
        self.assertGreaterEqual(len(tabs), 4, tabs)
        # The captions stay on one line, within the row kept for them above the page.
        heights = ff.run('Array.from(document.querySelectorAll(".vm-tabs button")).map((b) => b.offsetHeight)')
        self.assertLess(max(heights), 24, heights)
        for tab in tabs:
            with self.subTest(tab=tab):
                click_text('.vm-tabs button', tab)
                events('wait 50\n')
                self.assertEqual(form_texts('.vm-tabs button.on'), [tab])
                shown = ff.run('document.querySelectorAll(".vm-client > .vm-c").length')
                self.assertGreater(shown, 1)
                if tab == '出力':
                    voice = ff.run('(() => { const c = document.querySelector("[data-control=CheckBox18]");'
                                   ' return [c.querySelector("input").disabled, c.title]; })()')
                    self.assertTrue(voice[0], voice)
                    self.assertIn('speechSynthesis', voice[1])
                if tab == '著作権表示':
                    notices = ' '.join(form_texts('.vm-client span'))
                    self.assertIn('stb', notices)
                    self.assertIn('Copyright (C)', notices)
                    self.assertNotIn('FreeType', notices)
        click_text('.vm-form button', '閉じる')
        events('wait 100\n')
        self.assertTrue(ff.run('document.getElementById("form-layer").hidden'))

    def test_gallery(self):
        gallery = 'wait 2500\nmove 400 259\nclick 400 259\nwait 1500\nmove 400 184\nclick 400 184\nwait 1500\n'
        native = native_screenshots(NATIVE, DEMO, [(gallery, 'gallery.png')])
        open_page()
        events(gallery)
        self.assertLooksNative(native['gallery.png'], 'gallery')

    def test_yes_no_box_is_the_browsers_own(self):
        # On the player's page "終了" on the title asks first, in the
        # browser's confirm box: "no" keeps playing, "yes" ends the game.
        open_player_page()
        ff.click('#notice')
        time.sleep(3)  # the title fades in

        def ask():
            for _ in range(20):
                click_picture(400, 309, wait=False)
                try:
                    return ff.wait_event('browsingContext.userPromptOpened', timeout=1)
                except BiDiError:
                    pass
            raise AssertionError('"終了" asked nothing')

        prompt = ask()
        self.assertEqual(prompt['type'], 'confirm')
        self.assertTrue(prompt['message'], prompt)
        ff.answer_prompt(False)
        time.sleep(0.5)
        self.assertTrue(ff.run('document.getElementById("notice").hidden'))
        ask()
        ff.answer_prompt(True)
        ended = ff.call('() => new Promise((done) => { let n = 0; const t = setInterval(() => {'
                        ' const s = document.getElementById("notice-text").textContent;'
                        ' if (s === "終了しました" || ++n > 250) { clearInterval(t); done(s); } }, 20); })')
        self.assertEqual(ended, '終了しました')


class Persistence(FirefoxTest):
    """Saves and settings live in IndexedDB and outlive a reload of the page."""

    def fresh_storage(self):
        # From a page of the site that holds no connection to the database.
        ff.navigate(base_url + 'game/manifest.txt')
        error = ff.call('() => new Promise((done) => { const r = indexedDB.deleteDatabase("/persist");'
                        ' r.onsuccess = () => done(null); r.onerror = r.onblocked = (e) => done(e.type); })')
        self.assertIsNone(error)

    def test_save_through_the_dialog_then_reload_and_load(self):
        self.fresh_storage()
        open_page('test=1&persist=1')
        events(START + 'click 400 300\nwait 2500\nkey s\nwait 100\n')
        # The third slot (the first row is the header), a comment, "セーブ".
        ff.click('.vm-list tr:nth-child(4)')
        events('wait 50\n')
        ff.click('.vm-form input:not([type])')
        ff.type_keys('firefox')
        click_text('.vm-form button', 'セーブ')
        events('wait 500\n')
        self.assertTrue(ff.run('document.getElementById("form-layer").hidden'))
        saved = shown_text()
        self.assertTrue(saved)
        wait_for_sync()

        ff.reload()
        wait_ready()
        events(CONTINUE)
        row = ff.call('() => Array.from(document.querySelectorAll(".vm-list tr")[3].cells).map((c) => c.textContent)')
        self.assertIn('firefox', row)
        ff.click('.vm-list tr:nth-child(4)')
        events('wait 50\n')
        click_text('.vm-form button', 'ロード')
        events('wait 2500\n')
        self.assertEqual(shown_text(), saved)

    def test_quick_save_outlives_a_closed_tab(self):
        self.fresh_storage()
        open_page('test=1&persist=1')
        events(START + 'key q\nwait 1500\n')
        saved = shown_text()
        self.assertTrue(saved)
        wait_for_sync()
        ff.close_tab(ff.new_tab())
        open_page('test=1&persist=1')
        events(CONTINUE)
        ff.click('.vm-list tr:last-child')  # slot 99, the quick save
        events('wait 50\n')
        click_text('.vm-form button', 'ロード')
        events('wait 2500\n')
        self.assertEqual(shown_text(), saved)

    def test_setting_survives_a_reload(self):
        self.fresh_storage()
        open_page('test=1&persist=1')
        events(START + 'key c\nwait 100\n')
        click_text('.vm-tabs button', 'テキスト設定')
        events('wait 50\n')
        ff.click('[data-control=CSpinEdit1]')
        ff.select_all()
        ff.type_keys('22\t')
        events('wait 50\n')
        click_text('.vm-form button', '閉じる')
        events('wait 300\n')
        wait_for_sync()

        ff.reload()
        wait_ready()
        ini = ff.run('FS.readFile("/persist/settings.ini", {encoding: "utf8"})')
        self.assertRegex(ini, r'=22\b')
        events(START + 'key c\nwait 100\n')
        click_text('.vm-tabs button', 'テキスト設定')
        events('wait 50\n')
        self.assertEqual(ff.run('document.querySelector("[data-control=CSpinEdit1]").value'), '22')
        click_text('.vm-form button', '閉じる')
        events('wait 100\n')


class Sound(FirefoxTest):
    """The OpenAL emulation's sources start once the player has clicked:
    the title's music, the effect of "はじめから", then the first voice."""

    def test_effect_and_voice_start_after_the_first_click(self):
        open_player_page()
        self.assertFalse(ff.run('!!(window.AL && AL.currentCtx)'))
        ff.click('#notice')
        deadline = time.monotonic() + 20
        while not sources_playing():
            self.assertLess(time.monotonic(), deadline, 'the title\'s music did not start')
            time.sleep(0.05)
        # The audio graph runs (a context starts "suspended" and gets going
        # soon after; one the autoplay rules held back would stay so).
        state = ff.call('() => new Promise((done) => { const a = AL.currentCtx.audioCtx; let n = 0;'
                        ' const t = setInterval(() => { if (a.state === "running" || ++n > 100) {'
                        ' clearInterval(t); done(a.state); } }, 50); })')
        self.assertEqual(state, 'running')
        time.sleep(1.5)  # the title's own opening sound is over
        before = set(sources_playing())
        click_picture(400, 159)
        deadline = time.monotonic() + 10
        while not set(sources_playing()) - before:
            self.assertLess(time.monotonic(), deadline, 'no effect started on "はじめから"')
            time.sleep(0.02)
        # On through the opening, a click a quarter second, until the voice
        # slot (the mixer's first source) plays.
        voice = ff.run('Math.min(...Object.keys(AL.currentCtx.sources).map(Number))')
        deadline = time.monotonic() + 150
        while str(voice) not in sources_playing():
            self.assertLess(time.monotonic(), deadline, 'no voice started')
            click_picture(400, 159)
            time.sleep(0.25)


if __name__ == '__main__':
    unittest.main(argv=[sys.argv[0]] + sys.argv[4:], verbosity=2, warnings='ignore')
