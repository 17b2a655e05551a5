#!/usr/bin/python3
"""Browser tests: headless Chromium plays the built site (build-web/site)
from a loopback server. The demo's opening is compared with the native
headless run at the same story points; saves, quick saves and settings
survive a reload or a closed tab; the right-click menu, the save dialog, the
backlog and the gallery open; sound starts after the first click; saves
exported as a ZIP import on a fresh profile (and into the desktop build)
byte for byte, and a damaged ZIP changes nothing.

    tests/web/test_web.py SITE_DIR NATIVE_VELMORA DEMO_DIR
"""
import base64
import functools
import http.server
import os
import shutil
import socketserver
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zipfile
import zlib

from selenium import webdriver
from selenium.webdriver.chrome.service import Service as ChromeService
from selenium.webdriver.common.by import By

SITE, NATIVE, DEMO = (os.path.abspath(a) for a in sys.argv[1:4])
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DEMO_EVENTS = os.path.join(SOURCE, 'demo', 'demo.events')


def read_png(data):
    """Width, height and RGB rows of an 8-bit RGB or RGBA PNG."""
    assert data[:8] == b'\x89PNG\r\n\x1a\n', 'not a PNG'
    pos, idat, width, height, channels = 8, b'', 0, 0, 3
    while pos < len(data):
        n, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + n]
        if kind == b'IHDR':
            width, height, depth, colour = struct.unpack('>IIBB', body[:10])
            assert depth == 8 and colour in (2, 6), (depth, colour)
            channels = 3 if colour == 2 else 4
        elif kind == b'IDAT':
            idat += body
        pos += 12 + n
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, prev = [], bytearray(stride)
    for y in range(height):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prev[i]
            c = prev[i - channels] if i >= channels else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line) if channels == 3 else bytes(v for k, v in enumerate(line) if k % 4 != 3))
        prev = line
    return width, height, rows


def compare(native_png, web_png):
    """The share of pixels that differ at all, and that differ by more than 64 in a channel."""
    w1, h1, a = read_png(native_png)
    w2, h2, b = read_png(web_png)
    assert (w1, h1) == (w2, h2) == (800, 600), ((w1, h1), (w2, h2))
    differ = far = 0
    for ra, rb in zip(a, b):
        if ra == rb:
            continue
        for x in range(0, 2400, 3):
            d = max(abs(ra[x] - rb[x]), abs(ra[x + 1] - rb[x + 1]), abs(ra[x + 2] - rb[x + 2]))
            differ += d > 0
            far += d > 64
    return differ / 480000, far / 480000


def data_url_png(url):
    assert url.startswith('data:image/png;base64,'), url[:40]
    return base64.b64decode(url.split(',', 1)[1])


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map, **{'.wasm': 'application/wasm'})

    def log_message(self, *args):
        pass


def setUpModule():
    global server, base_url, driver, profile
    server = Server(('127.0.0.1', 0), functools.partial(QuietHandler, directory=SITE))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base_url = f'http://127.0.0.1:{server.server_address[1]}/'
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


def demo_chunks(last_screenshot):
    """The demo's events up to a screenshot, as (events text, screenshot name) pieces."""
    chunks, lines = [], []
    with open(DEMO_EVENTS, encoding='utf-8') as f:
        for line in f:
            words = line.split()
            if words and words[0] == 'screenshot':
                chunks.append(('\n'.join(lines) + '\n', words[1]))
                lines = []
                if words[1] == last_screenshot:
                    return chunks
            else:
                lines.append(line.rstrip('\n'))
    raise AssertionError(f'{last_screenshot} is not in the demo events')


def native_screenshots(chunks):
    """Runs the chunks natively (one events file) on a copy of the demo; the screenshots' bytes by name."""
    work = tempfile.mkdtemp(prefix='velmora-native-')
    try:
        game = os.path.join(work, 'game')
        shutil.copytree(DEMO, game)
        with open(os.path.join(work, 'run.events'), 'w', encoding='utf-8') as f:
            for text, name in chunks:
                f.write(text + f'screenshot {os.path.join(work, name)}\n')
        subprocess.run([NATIVE, '--headless', '--game', game, '--events', os.path.join(work, 'run.events')],
                       check=True, env=dict(os.environ, QT_QPA_PLATFORM='offscreen', XDG_DATA_HOME=work))
        out = {}
        for _, name in chunks:
            with open(os.path.join(work, name), 'rb') as f:
                out[name] = f.read()
        return out
    finally:
        shutil.rmtree(work, ignore_errors=True)


class StoryAgainstNative(unittest.TestCase):
    """The same events give the same pictures as the native runner. JPEG
    pictures and glyphs come from other decoders and rasterisers: a few
    per cent of the pixels may differ a little, almost none by much."""

    def play_and_compare(self, chunks):
        native = native_screenshots(chunks)
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
