#!/usr/bin/python3
"""Browser tests: headless Chromium plays the built site (build-web/site)
from a loopback server. The demo's opening is compared with the native
headless run at the same story points; saves, quick saves and settings
survive a reload or a closed tab; the right-click menu, the save dialog, the
backlog and the gallery open; sound starts after the first click; a phone's
touches play it in both orientations, and the site plays offline once opened;
saves exported as a ZIP import on a fresh profile (and into the desktop build)
byte for byte, and a damaged ZIP changes nothing.

    tests/web/test_web.py SITE_DIR NATIVE_VELMORA DEMO_DIR
"""
import base64
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service as ChromeService
from selenium.webdriver.common.by import By

from web_support import compare, data_url_png, demo_chunks, native_screenshots, serve

SITE, NATIVE, DEMO = (os.path.abspath(a) for a in sys.argv[1:4])


def setUpModule():
    global server, base_url, driver, profile
    server, base_url = serve(SITE)
    profile = tempfile.mkdtemp(prefix='velmora-chromium-')
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for a in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
              '--disable-component-update', '--disable-sync', '--no-first-run', '--disable-dev-shm-usage',
              '--autoplay-policy=no-user-gesture-required', f'--user-data-dir={profile}', '--window-size=800,600'):
        options.add_argument(a)
    service = ChromeService(executable_path='/usr/bin/chromedriver')
    driver = webdriver.Chrome(options=options, service=service)
    driver.set_script_timeout(300)


def tearDownModule():
    driver.quit()
    server.shutdown()
    shutil.rmtree(profile, ignore_errors=True)


def open_page(query='test=1'):
    driver.get(base_url + 'index.html?' + query)
    error = driver.execute_async_script(
        'const done = arguments[0];'
        'const t = setInterval(() => { if (window.velmora) { clearInterval(t);'
        '  velmora.ready.then(() => done(null), (e) => done(String(e))); } }, 20);')
    assert error is None, error


def open_player_page():
    """The player's page (no test hooks), once it shows its start notice."""
    driver.get(base_url + 'index.html')
    driver.execute_async_script(
        'const done = arguments[0]; const t = setInterval(() => {'
        ' if (document.getElementById("notice-text").textContent === "クリックで開始") { clearInterval(t); done(); } }, 20);')


def events(text):
    error = driver.execute_async_script(
        'const done = arguments[1];'
        'velmora.events(arguments[0]).then(() => done(null), (e) => done(String(e)));', text)
    assert error is None, error


def shown_text():
    return driver.execute_script('return velmora.shownText();')


def wait_for_sync():
    driver.execute_async_script(
        'const done = arguments[0];'
        'const t = setInterval(() => { if (!window.velmoraSyncing()) { clearInterval(t); done(); } }, 20);')


class StoryAgainstNative(unittest.TestCase):
    """The same events give the same pictures as the native runner. JPEG
    pictures and glyphs come from other decoders and rasterisers: a few
    per cent of the pixels may differ a little, almost none by much."""

    def play_and_compare(self, chunks):
        native = native_screenshots(NATIVE, DEMO, chunks)
        open_page()
        for text, name in chunks:
            events(text)
            web = data_url_png(driver.execute_script('return velmora.screenshot();'))
            differ, far = compare(native[name], web)
            with self.subTest(story_point=name):
                self.assertLess(far, 0.02, f'{name}: {far:.2%} of the pixels far off ({differ:.2%} differ)')
                self.assertLess(differ, 0.15, f'{name}: {differ:.2%} of the pixels differ')

    def test_opening_through_saving_and_loading(self):
        self.play_and_compare(demo_chunks('08-load.png'))

    def test_naming_settings_backlog_and_rewind(self):
        self.play_and_compare(demo_chunks('08f-rewind-returned.png'))


class Persistence(unittest.TestCase):
    """Saves, quick saves and settings live in IndexedDB and outlive the page."""

    START = 'wait 2500\nmove 400 159\nclick 400 159\nwait 1500\n'
    CONTINUE = 'wait 2500\nmove 400 209\nclick 400 209\nwait 600\n'

    def fresh_storage(self):
        # From a page of the site that holds no connection to the database.
        driver.get(base_url + 'game/manifest.txt')
        error = driver.execute_async_script(
            'const done = arguments[0]; const r = indexedDB.deleteDatabase("/persist");'
            'r.onsuccess = () => done(null); r.onerror = r.onblocked = (e) => done(e.type);')
        assert error is None, error

    def test_save_dialog_then_reload_and_load(self):
        self.fresh_storage()
        open_page('test=1&persist=1')
        events(self.START + 'click 400 300\nwait 2500\n'
               'key s\ndialog select 3\ndialog type ウェブのセーブ\ndialog press セーブ\nwait 500\n')
        saved = shown_text()
        self.assertTrue(saved)
        wait_for_sync()
        open_page('test=1&persist=1')
        events(self.CONTINUE + 'dialog select 3\ndialog press ロード\nwait 2500\n')
        self.assertEqual(shown_text(), saved)

    def test_quick_save_outlives_a_closed_tab(self):
        self.fresh_storage()
        open_page('test=1&persist=1')
        events(self.START + 'key q\nwait 1500\n')
        saved = shown_text()
        self.assertTrue(saved)
        wait_for_sync()
        first = driver.current_window_handle
        driver.switch_to.new_window('tab')
        second = driver.current_window_handle
        driver.switch_to.window(first)
        driver.close()
        driver.switch_to.window(second)
        open_page('test=1&persist=1')
        events(self.CONTINUE + 'dialog select 99\ndialog press ロード\nwait 2500\n')
        self.assertEqual(shown_text(), saved)

    def test_setting_survives_a_reload(self):
        self.fresh_storage()
        open_page('test=1&persist=1')
        events(self.START + 'key c\ndialog tab テキスト設定\ndialog set CSpinEdit1 22\ndialog press 閉じる\nwait 300\n')
        wait_for_sync()
        open_page('test=1&persist=1')
        ini = driver.execute_script('return FS.readFile("/persist/settings.ini", {encoding: "utf8"});')
        self.assertRegex(ini, r'=22\b')
        events(self.START + 'key c\nwait 100\n')
        value = driver.execute_script(
            'const n = document.querySelector("[data-control=CSpinEdit1]"); return n && n.value;')
        self.assertIn(value, (None, '22'))


class Forms(unittest.TestCase):
    """The engine's menus and dialogs appear as HTML and take the player's clicks."""

    def test_right_click_menu_is_html_and_takes_a_click(self):
        open_page()
        events('wait 2500\nmove 400 159\nclick 400 159\nwait 1500\nclick 400 300 right\nwait 100\n')
        items = driver.execute_script(
            'return Array.from(document.querySelectorAll(".vm-menu div")).map((d) => d.textContent);')
        self.assertTrue(any(i.startswith('クイックセーブ') for i in items), items)
        before = shown_text()
        item = next(e for e in driver.find_elements(By.CSS_SELECTOR, '.vm-menu div')
                    if e.text.startswith('クイックセーブ'))
        item.click()
        events('wait 1500\n')
        self.assertTrue(driver.execute_script('return document.getElementById("form-layer").hidden;'))
        self.assertEqual(shown_text(), before)

    def test_save_dialog_lists_slots_with_columns(self):
        open_page()
        events('wait 2500\nmove 400 159\nclick 400 159\nwait 1500\nkey s\nwait 100\n')
        heads = driver.execute_script(
            'return Array.from(document.querySelectorAll(".vm-list th")).map((t) => t.textContent);')
        rows = driver.execute_script('return document.querySelectorAll(".vm-list tr").length;')
        self.assertGreaterEqual(len(heads), 2, heads)
        self.assertGreater(rows, 3)
        events('dialog press キャンセル\nwait 100\n')

    def test_settings_grey_the_text_feed(self):
        # A page cannot listen on a socket: the feed's box is offered greyed,
        # says why, and a change sent to it anyway is dropped.
        open_page()
        events('wait 2500\nmove 400 159\nclick 400 159\nwait 1500\nkey c\ndialog tab 出力\n'
               'dialog set CheckBox17 1\nwait 100\n')
        boxes = driver.execute_script(
            'const box = (n) => { const c = document.querySelector(`[data-control=${n}]`);'
            '  const i = c && c.querySelector("input"); return i && [i.disabled, i.checked, c.title]; };'
            'return {feed: box("CheckBox17"), copy: box("CheckBox16")};')
        self.assertEqual(boxes['feed'][:2], [True, False], boxes)
        self.assertTrue(boxes['feed'][2], boxes)
        self.assertEqual(boxes['copy'], [False, False, ''], boxes)
        events('dialog press 閉じる\nwait 100\n')


    def test_settings_name_what_the_browser_build_uses(self):
        # Without speech synthesis the self-voicing switch is greyed and says
        # what the browser lacks; the copyright page names the browser
        # build's own parts, not the desktop's libraries.
        open_page()
        driver.execute_script('Object.defineProperty(window, "speechSynthesis", {value: undefined, configurable: true});')
        events('wait 2500\nmove 400 159\nclick 400 159\nwait 1500\nkey c\ndialog tab 出力\nwait 100\n')
        voice = driver.execute_script(
            'const c = document.querySelector("[data-control=CheckBox18]"); return [c.querySelector("input").disabled, c.title];')
        self.assertTrue(voice[0], voice)
        self.assertIn('speechSynthesis', voice[1])
        self.assertNotIn('speech-dispatcher', voice[1])
        events('dialog tab 著作権表示\nwait 100\n')
        notices = ' '.join(driver.execute_script(
            'return Array.from(document.querySelectorAll(".vm-client span")).map((s) => s.textContent);'))
        for part in ('stb', 'Emscripten', 'OpenAL', 'IPAGothic', 'Copyright (C)'):
            self.assertIn(part, notices)
        for part in ('FreeType', 'libjpeg', 'Qt 6', 'fontconfig'):
            self.assertNotIn(part, notices)
        events('dialog press 閉じる\nwait 100\n')


class WhichGame(unittest.TestCase):
    """"フォルダを開く" plays a game folder the player picks, read into memory;
    ?game=PATH names a published game, and a wrong one is said so."""

    def test_picked_folder_is_the_game(self):
        work = tempfile.mkdtemp(prefix='velmora-local-')
        try:
            game = os.path.join(work, 'mygame')
            shutil.copytree(DEMO, game, ignore=shutil.ignore_patterns('save', 'save0.dat', 'kaiso.dat', '*.lock'))
            with open(os.path.join(game, 'picked.txt'), 'w') as f:
                f.write('from the player\'s disk\n')
            open_player_page()
            driver.find_element(By.ID, 'folder-input').send_keys(game)
            files = driver.execute_async_script(
                'const done = arguments[0]; let n = 0; const t = setInterval(() => {'
                ' if (document.getElementById("notice").hidden || ++n > 500) { clearInterval(t);'
                '   done(FS.analyzePath("/game").exists ? FS.readdir("/game") : []); } }, 20);')
            self.assertIn('picked.txt', files)
            self.assertIn('vk_data.vrk', files)
            self.assertTrue(driver.execute_script('return document.getElementById("notice").hidden;'))
        finally:
            shutil.rmtree(work, ignore_errors=True)


    def test_game_path_that_is_not_there_says_so(self):
        driver.get(base_url + 'index.html?test=1&game=nowhere')
        text = driver.execute_async_script(
            'const done = arguments[0]; let n = 0; const t = setInterval(() => {'
            ' const s = document.getElementById("notice-text").textContent;'
            ' if (s.startsWith("ゲーム") || ++n > 500) { clearInterval(t); done(s); } }, 20);')
        self.assertEqual(text, 'ゲームを読み込めません: nowhere/manifest.txt: 404')


class Sound(unittest.TestCase):
    """OpenAL sources start only once the player has clicked the start notice."""

    def test_sources_start_after_the_first_click(self):
        open_player_page()
        self.assertFalse(driver.execute_script('return !!(window.AL && AL.currentCtx);'))
        driver.find_element(By.ID, 'notice').click()
        # The title plays its music; a click on "はじめから" its effect.
        playing = driver.execute_async_script(
            'const done = arguments[0]; let n = 0; const t = setInterval(() => {'
            ' const c = window.AL && AL.currentCtx;'
            ' const on = c ? Object.values(c.sources).filter((s) => s.state === 0x1012).length : 0;'
            ' if (on > 0 || ++n > 400) { clearInterval(t); done(on); } }, 25);')
        self.assertGreater(playing, 0)
        # A real click on "はじめから" through the scaled canvas starts the
        # story: its effect starts playing on a source that was not playing.
        # The sources playing (AL_PLAYING) before the click, once the
        # title's own opening sound is over.
        time.sleep(1.5)
        before = driver.execute_script(
            'const s = AL.currentCtx.sources; return Object.keys(s).filter((k) => s[k].state === 0x1012);')
        driver.execute_script(
            'const c = document.getElementById("screen"), r = c.getBoundingClientRect();'
            'const at = {clientX: r.left + 400 * r.width / 800, clientY: r.top + 159 * r.height / 600, button: 0};'
            'for (const t of ["mousemove", "mousedown", "mouseup"]) c.dispatchEvent(new MouseEvent(t, at));')
        started = driver.execute_async_script(
            'const done = arguments[1]; let n = 0; const t = setInterval(() => {'
            ' const s = AL.currentCtx.sources;'
            ' const fresh = Object.keys(s).filter((k) => !arguments[0].includes(k) && s[k].state === 0x1012);'
            ' if (fresh.length || ++n > 1000) { clearInterval(t); done(fresh.length); } }, 5);', before)
        self.assertGreater(started, 0)

    def test_voice_starts_on_the_voiced_page(self):
        # Clicks on "はじめから" and on through the opening reach the sound
        # pages, whose first line has a recorded voice: it plays on the
        # voice slot, the first of the mixer's sources.
        open_player_page()
        driver.find_element(By.ID, 'notice').click()
        playing = driver.execute_async_script(
            'const done = arguments[0]; const started = Date.now(); let clicks = 0;'
            'const c = document.getElementById("screen");'
            'const click = () => { const r = c.getBoundingClientRect();'
            '  const at = {clientX: r.left + r.width / 2, clientY: r.top + 159 * r.height / 600, button: 0};'
            '  for (const t of ["mousemove", "mousedown", "mouseup"]) c.dispatchEvent(new MouseEvent(t, at)); };'
            'const t = setInterval(() => {'
            ' const ctx = window.AL && AL.currentCtx;'
            ' const ids = ctx ? Object.keys(ctx.sources).map(Number).sort((a, b) => a - b) : [];'
            ' if (ids.length && ctx.sources[ids[0]].state === 0x1012) { clearInterval(t); done(clicks); return; }'
            ' if (Date.now() - started > 150000) { clearInterval(t); done(-1); return; }'
            ' const now = Date.now() - started;'
            ' if (now > 1000 && now / 250 > clicks) { clicks++; click(); }'
            '}, 5);')
        self.assertGreater(playing, 0, 'no voice started')



class Controller(unittest.TestCase):
    """A standard-layout pad read through the Gamepad API plays on the player page."""

    def test_pad_buttons_reach_the_game(self):
        open_player_page()
        driver.find_element(By.ID, 'notice').click()
        # A pad of our own in place of the browser's: pressing Down moves
        # the focus onto one of the title's buttons and A presses it, so the
        # title gives way to another screen; the pointer hides meanwhile.
        result = driver.execute_async_script(
            'const done = arguments[0];'
            'const c = document.getElementById("screen");'
            'const pad = {id: "test pad", index: 0, connected: true, mapping: "standard", axes: [0, 0, 0, 0],'
            '  buttons: Array.from({length: 17}, () => ({pressed: false, value: 0}))};'
            'Object.defineProperty(navigator, "getGamepads", {value: () => [pad], configurable: true});'
            'const press = (i, ms) => new Promise((r) => { pad.buttons[i].pressed = true;'
            '  setTimeout(() => { pad.buttons[i].pressed = false; setTimeout(r, 300); }, ms); });'
            'const sleep = (ms) => new Promise((r) => setTimeout(r, ms));'
            '(async () => {'
            '  await sleep(4000);'
            '  const title = c.toDataURL();'
            '  const ev = new Event("gamepadconnected"); ev.gamepad = pad; window.dispatchEvent(ev);'
            '  await press(13, 150);'
            '  const hidden = c.style.cursor === "none";'
            '  await sleep(500);'
            '  const focused = c.toDataURL();'
            '  await press(0, 150);'
            '  await sleep(4000);'
            '  done({hidden, focusChanged: focused !== title, pressed: c.toDataURL() !== focused});'
            '})();')
        self.assertTrue(result['hidden'], 'the pointer stays shown while the pad plays')
        self.assertTrue(result['focusChanged'], 'Down did not move the focus onto a title button')
        self.assertTrue(result['pressed'], 'A did not press the focused button')

SHOTS = os.path.join(os.path.dirname(SITE), 'web-test-shots')


def touch(kind, points=()):
    """One CDP touch event; points are (x, y) in CSS pixels of the viewport."""
    driver.execute_cdp_cmd('Input.dispatchTouchEvent', {
        'type': kind, 'touchPoints': [{'x': x, 'y': y, 'id': i} for i, (x, y) in enumerate(points)]})


def on_screen(px, py):
    """Where a point of the 800 x 600 picture is in the viewport."""
    r = driver.execute_script('return document.getElementById("screen").getBoundingClientRect().toJSON();')
    return r['left'] + (px + 0.5) * r['width'] / 800, r['top'] + (py + 0.5) * r['height'] / 600


def tap(px, py):
    at = on_screen(px, py)
    touch('touchStart', [at])
    touch('touchEnd')


def hold(px, py, seconds=0.8):
    at = on_screen(px, py)
    touch('touchStart', [at])
    time.sleep(seconds)
    touch('touchEnd')


def swipe(p0, p1, steps=6):
    a, b = on_screen(*p0), on_screen(*p1)
    touch('touchStart', [a])
    for i in range(1, steps + 1):
        touch('touchMove', [(a[0] + (b[0] - a[0]) * i / steps, a[1] + (b[1] - a[1]) * i / steps)])
    touch('touchEnd')


def picture_hash():
    return hash(driver.execute_script('return velmora.screenshot();'))


def touch_at(px, py):
    return driver.execute_script('return Module._velmora_touch_at(arguments[0], arguments[1]);', px, py)


def outside_viewport(selector):
    """The elements matching selector that reach outside the viewport (as text, for the message)."""
    return driver.execute_script(
        'const vw = innerWidth, vh = innerHeight;'
        'return Array.from(document.querySelectorAll(arguments[0])).filter((n) => {'
        '  const r = n.getBoundingClientRect(); if (!r.width && !r.height) return false;'
        '  return r.left < -0.5 || r.top < -0.5 || r.right > vw + 0.5 || r.bottom > vh + 0.5; })'
        '.map((n) => (n.dataset.control || n.className || n.tagName));', selector)


class Touch(unittest.TestCase):
    """A phone's touch screen in portrait and landscape: the picture fills
    what it can, the tool bar takes a thumb, taps, long presses, swipes and
    two fingers play the game, and the dialogs fit the screen."""

    @classmethod
    def setUpClass(cls):
        os.makedirs(SHOTS, exist_ok=True)
        driver.execute_cdp_cmd('Emulation.setTouchEmulationEnabled', {'enabled': True, 'maxTouchPoints': 5})

    @classmethod
    def tearDownClass(cls):
        driver.execute_cdp_cmd('Emulation.setTouchEmulationEnabled', {'enabled': False})
        driver.execute_cdp_cmd('Emulation.clearDeviceMetricsOverride', {})

    def screen(self, width, height):
        driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride',
                               {'width': width, 'height': height, 'deviceScaleFactor': 1, 'mobile': True})

    def layout(self):
        return driver.execute_script(
            'const r = (n) => n.getBoundingClientRect().toJSON();'
            'const bar = document.getElementById("toolbar");'
            'return {canvas: r(document.getElementById("screen")), bar: r(bar), place: bar.dataset.place,'
            ' buttons: Array.from(bar.querySelectorAll("button")).map((b) => [b.textContent, r(b)]),'
            ' vw: innerWidth, vh: innerHeight};')

    def start_story(self):
        events('wait 2500\n')
        tap(400, 159)  # "はじめから"
        events('wait 2000\n')

    def assert_taps_advance(self):
        self.start_story()
        first = shown_text()
        self.assertTrue(first, 'the story did not start on a tap')
        for _ in range(3):
            tap(400, 200)
            events('wait 1500\n')
        self.assertNotEqual(shown_text(), first, 'taps did not advance the text')

    def assert_long_press_opens_the_menu(self):
        hold(400, 300)
        events('wait 100\n')
        items = driver.execute_script(
            'return Array.from(document.querySelectorAll(".vm-menu div")).map((d) => d.textContent);')
        self.assertTrue(any(i.startswith('クイックセーブ') for i in items), items)
        self.assertEqual(outside_viewport('.vm-menu'), [])
        events('menu cancel\nwait 100\n')

    def assert_dialogs_fit(self, name):
        # The save dialog through the tool bar's own button, a slot saved
        # before it so that its picture shows under the selected row.
        events('save 1\nwait 100\n')
        button = next(b for b in driver.find_elements(By.CSS_SELECTOR, '#toolbar button') if b.text == 'セーブ(S)')
        r = button.rect
        touch('touchStart', [(r['x'] + r['width'] / 2, r['y'] + r['height'] / 2)])
        touch('touchEnd')
        events('wait 200\ndialog select 1\nwait 100\n')
        self.assertTrue(driver.execute_script('return !!document.querySelector(".vm-form");'), 'no save dialog')
        self.assertEqual(outside_viewport('.vm-form, .vm-form .vm-c'), [])
        thumb = driver.execute_script(
            'const c = document.querySelector(".vm-list tr.sel + tr.vm-thumb canvas");'
            'if (!c) return null; const l = c.closest(".vm-list").getBoundingClientRect(), r = c.getBoundingClientRect();'
            'return [c.width, c.height, r.top >= l.top - 0.5 && r.bottom <= l.bottom + 0.5];')
        self.assertEqual(thumb, [160, 120, True], 'the selected slot shows no picture in view beneath it')
        driver.save_screenshot(os.path.join(SHOTS, f'{name}-save-dialog.png'))
        if name == 'landscape':
            # The screen turns with the dialog open: it is laid out again, whole.
            self.screen(390, 844)
            time.sleep(0.3)
            self.assertEqual(outside_viewport('.vm-form, .vm-form .vm-c'), [])
            self.assertTrue(driver.execute_script('return !!document.querySelector("tr.vm-thumb canvas");'))
            self.screen(844, 390)
            time.sleep(0.3)
        events('dialog press 閉じる\nwait 100\nkey c\nwait 200\n')
        self.assertEqual(outside_viewport('.vm-form, .vm-form .vm-c'), [])
        driver.save_screenshot(os.path.join(SHOTS, f'{name}-settings.png'))
        events('dialog press 閉じる\nwait 200\n')
        self.assertTrue(driver.execute_script('return document.getElementById("form-layer").hidden;'))

    def test_portrait(self):
        self.screen(390, 844)
        open_page()
        lay = self.layout()
        self.assertEqual(lay['place'], 'bottom')
        self.assertAlmostEqual(lay['canvas']['width'], 390, delta=1)
        self.assertGreaterEqual(lay['bar']['top'], lay['canvas']['bottom'] - 0.5, 'the tool bar is not below the picture')
        self.assertEqual([b[0] for b in lay['buttons']], ['終了', 'ロード(L)', 'セーブ(S)', '設定(C)'])
        for caption, r in lay['buttons']:
            self.assertGreaterEqual(r['height'], 44, caption)
            self.assertLessEqual(r['bottom'], lay['vh'], caption)
        self.assert_taps_advance()
        driver.save_screenshot(os.path.join(SHOTS, 'portrait.png'))
        self.assert_long_press_opens_the_menu()

        # Two fingers hide the message window; a tap brings it back.
        x, y = on_screen(300, 300)
        self.assertTrue(touch_at(400, 500) & 1, 'no message window at the bottom of the picture')
        touch('touchStart', [(x, y)])
        touch('touchStart', [(x, y), (x + 60, y)])
        touch('touchEnd')
        events('wait 300\n')
        self.assertFalse(touch_at(400, 500) & 1, 'two fingers did not hide the message window')
        tap(400, 300)
        events('wait 300\n')
        self.assertTrue(touch_at(400, 500) & 1, 'a tap did not bring the message window back')

        # A press held on the quick bar's skip button skips while it is held.
        skip = driver.execute_script(
            'for (let y = 300; y < 600; y += 2) for (let x = 0; x < 800; x += 2)'
            '  if (Module._velmora_touch_at(x, y) & 2) return [x + 8, y + 6]; return null;')
        self.assertIsNotNone(skip, 'no skip button found on the quick bar')
        page = shown_text()
        at = on_screen(*skip)
        touch('touchStart', [at])
        time.sleep(0.8)
        events('wait 3000\n')
        touch('touchEnd')
        events('wait 100\n')
        skipped = shown_text()
        self.assertNotEqual(skipped, page, 'holding the skip button did not skip')
        events('wait 3000\n')
        self.assertEqual(shown_text(), skipped, 'skipping went on after the finger was lifted')

        # A swipe up from the message window opens the backlog (made longer
        # than a screen first); a swipe down in it scrolls back as the wheel
        # does; the backlog closes by its key.
        events('click 400 200\nwait 1500\n' * 25)
        before = picture_hash()
        swipe((400, 520), (400, 330))
        events('wait 300\n')
        self.assertTrue(touch_at(0, 0) & 4, 'the swipe did not open the backlog')
        opened = picture_hash()
        self.assertNotEqual(opened, before)
        swipe((400, 150), (400, 450), steps=10)
        events('wait 300\n')
        self.assertNotEqual(picture_hash(), opened, 'a swipe down did not scroll the backlog')
        events('key Backspace\nwait 300\n')
        self.assertFalse(touch_at(0, 0) & 4)

        self.screen(360, 640)
        events('wait 100\n')
        self.assert_dialogs_fit('portrait-360x640')

    def test_landscape(self):
        self.screen(844, 390)
        open_page()
        # The first tap asks for full screen once; a refusal changes nothing.
        driver.execute_script(
            'window.fullScreenAsked = 0; document.documentElement.requestFullscreen = () =>'
            ' { window.fullScreenAsked++; return Promise.reject(new Error("refused")); };')
        lay = self.layout()
        # A wide screen: the picture takes the whole height, the tool bar a side bar.
        self.assertAlmostEqual(lay['canvas']['height'], 390, delta=1)
        self.assertEqual(lay['place'], 'side')
        for caption, r in lay['buttons']:
            self.assertGreaterEqual(r['height'], 44, caption)
            self.assertLessEqual(r['right'], lay['canvas']['left'] + 0.5, caption)
        self.assert_taps_advance()
        self.assertEqual(driver.execute_script('return window.fullScreenAsked;'), 1)
        driver.save_screenshot(os.path.join(SHOTS, 'landscape.png'))
        self.assert_long_press_opens_the_menu()
        self.assert_dialogs_fit('landscape')


class Offline(unittest.TestCase):
    """Once the site has been opened, its service worker plays it with the server gone."""

    def test_game_starts_with_the_server_stopped(self):
        own, own_url = serve(SITE)
        url = own_url + 'index.html?test=1'
        try:
            driver.get(url)
            state = driver.execute_async_script(
                'const done = arguments[0];'
                'navigator.serviceWorker.ready.then(async () => {'
                '  for (let i = 0; i < 500 && !navigator.serviceWorker.controller; ++i) await new Promise((r) => setTimeout(r, 20));'
                '  const keys = (await caches.keys()).filter((k) => k.startsWith("velmora-"));'
                '  const kept = keys.length ? (await (await caches.open(keys[0])).keys()).length : 0;'
                '  done({controlled: !!navigator.serviceWorker.controller, caches: keys.length, kept});'
                '}, (e) => done(String(e)));')
            self.assertTrue(state['controlled'], state)
            self.assertEqual(state['caches'], 1, state)
            self.assertGreater(state['kept'], 10, state)
        finally:
            own.shutdown()
            own.server_close()
        driver.get(url)
        error = driver.execute_async_script(
            'const done = arguments[0]; let n = 0;'
            'const t = setInterval(() => { if (window.velmora) { clearInterval(t);'
            '  velmora.ready.then(() => done(null), (e) => done(String(e))); }'
            ' else if (++n > 1500) { clearInterval(t); done(document.getElementById("notice-text").textContent); } }, 20);')
        self.assertIsNone(error)
        events('wait 2500\nmove 400 159\nclick 400 159\nwait 2000\n')
        self.assertTrue(shown_text(), 'the game did not play offline')



PERSIST_FILES = (
    'const done = arguments[0]; const out = {}; const base = "/persist/velmora";'
    'const walk = (dir, rel) => { for (const n of FS.readdir(dir)) { if (n === "." || n === "..") continue;'
    '  const p = `${dir}/${n}`; const r = rel ? `${rel}/${n}` : n;'
    '  if (FS.isDir(FS.stat(p).mode)) walk(p, r);'
    '  else if (!n.includes(".lock") && !n.includes(".tmp")) { const b = FS.readFile(p); let s = "";'
    '    for (let i = 0; i < b.length; i += 0x8000) s += String.fromCharCode.apply(null, b.subarray(i, i + 0x8000));'
    '    out[r] = btoa(s); } } };'
    'if (FS.analyzePath(base).exists) walk(base, ""); done(out);')


class SavesThatTravel(unittest.TestCase):
    """The settings dialog's export downloads one ZIP of the saves; its import
    restores them on a fresh profile byte for byte, and the desktop build
    imports the same ZIP; a damaged ZIP changes nothing."""

    START = Persistence.START

    def persist_files(self):
        return {k: base64.b64decode(v) for k, v in driver.execute_async_script(PERSIST_FILES).items()}

    def export_zip(self):
        """Presses the export button of the open settings dialog; the downloaded ZIP's bytes."""
        driver.execute_script(
            'window.lastDownload = null;'
            'HTMLAnchorElement.prototype.click = function () { window.lastDownload = [this.href, this.download]; };')
        driver.find_element(By.ID, 'saves-export').click()
        got = driver.execute_async_script(
            'const done = arguments[0]; let n = 0; const t = setInterval(() => { if (!window.lastDownload && ++n < 500) return;'
            ' clearInterval(t); fetch(window.lastDownload[0]).then((r) => r.arrayBuffer()).then((a) => { const b = new Uint8Array(a);'
            '  let s = ""; for (let i = 0; i < b.length; i += 0x8000) s += String.fromCharCode.apply(null, b.subarray(i, i + 0x8000));'
            '  done([window.lastDownload[1], btoa(s), document.getElementById("saves-status").textContent]); }); }, 20);')
        self.assertEqual(got[0], 'velmora-saves.zip')
        self.assertIn('書き出しました', got[2])
        return base64.b64decode(got[1])

    def import_file(self, path):
        """Gives a file to the open settings dialog's import; the message it shows."""
        driver.execute_script('document.getElementById("saves-status").textContent = "";')
        driver.find_element(By.ID, 'saves-import-file').send_keys(path)
        return driver.execute_async_script(
            'const done = arguments[0]; let n = 0; const t = setInterval(() => {'
            ' const s = document.getElementById("saves-status").textContent;'
            ' if (s || ++n > 500) { clearInterval(t); done(s); } }, 20);')

    def test_export_then_import_on_a_fresh_profile_and_into_the_desktop(self):
        Persistence.fresh_storage(self)
        open_page('test=1&persist=1')
        events(self.START + 'save 2\nclick 400 300\nwait 2500\nsave 7\nwait 100\n')
        saved = shown_text()
        events('key c\nwait 100\n')
        zip_bytes = self.export_zip()
        events('dialog press 閉じる\nwait 100\n')
        wait_for_sync()
        before = self.persist_files()
        slots = sorted(k for k in before if '/save/' in k)
        self.assertEqual([k.rsplit('/', 1)[1] for k in slots], ['save02.dat', 'save07.dat'])

        work = tempfile.mkdtemp(prefix='velmora-saves-')
        try:
            path = os.path.join(work, 'velmora-saves.zip')
            with open(path, 'wb') as f:
                f.write(zip_bytes)
            # A fresh profile: nothing in IndexedDB.
            Persistence.fresh_storage(self)
            open_page('test=1&persist=1')
            self.assertFalse([k for k in self.persist_files() if '/save/' in k])
            events(self.START + 'key c\nwait 100\n')
            message = self.import_file(path)
            self.assertIn('読み込みました', message)
            events('dialog press 閉じる\nwait 100\n')
            wait_for_sync()
            # After a reload, from IndexedDB: every slot byte for byte, and the slot plays.
            open_page('test=1&persist=1')
            after = self.persist_files()
            for k in slots:
                self.assertEqual(after.get(k), before[k], k)
            events('wait 2500\nload 7\nwait 2500\n')
            self.assertEqual(shown_text(), saved)

            # The desktop build takes the browser's ZIP into a copy of the game.
            game = os.path.join(work, 'game')
            shutil.copytree(DEMO, game, ignore=shutil.ignore_patterns('save', 'save0.dat', 'kaiso.dat', '*.lock'))
            with open(os.path.join(work, 'e.txt'), 'w') as f:
                f.write(f'import {path}\nwait 100\n')
            run = subprocess.run([NATIVE, '--headless', '--game', game, '--events', os.path.join(work, 'e.txt')],
                                 capture_output=True, timeout=120)
            self.assertEqual(run.returncode, 0, run.stderr)
            for k in slots:
                with open(os.path.join(game, 'save', k.rsplit('/', 1)[1]), 'rb') as f:
                    self.assertEqual(f.read(), before[k], k)
        finally:
            shutil.rmtree(work, ignore_errors=True)

    def test_a_damaged_zip_changes_nothing(self):
        Persistence.fresh_storage(self)
        open_page('test=1&persist=1')
        events(self.START + 'save 4\nwait 100\nkey c\nwait 100\n')
        zip_bytes = bytearray(self.export_zip())
        wait_for_sync()
        before = self.persist_files()
        self.assertTrue(any(k.endswith('/save/save04.dat') for k in before), before.keys())
        work = tempfile.mkdtemp(prefix='velmora-saves-')
        try:
            damaged = os.path.join(work, 'damaged.zip')
            zip_bytes[len(zip_bytes) // 2] ^= 0x20
            with open(damaged, 'wb') as f:
                f.write(zip_bytes)
            foreign = os.path.join(work, 'foreign.zip')
            with zipfile.ZipFile(foreign, 'w') as z:
                z.writestr('../save0.dat', b'x' * 10884)
            for path in (damaged, foreign):
                message = self.import_file(path)
                self.assertTrue(message.startswith('セーブデータを読み込めません。何も変更していません。'), message)
                wait_for_sync()
                self.assertEqual(self.persist_files(), before, path)
        finally:
            shutil.rmtree(work, ignore_errors=True)
        events('dialog press 閉じる\nwait 100\n')


if __name__ == '__main__':
    unittest.main(argv=[sys.argv[0]] + sys.argv[4:], verbosity=2)
