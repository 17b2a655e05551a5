#!/usr/bin/python3
"""The browser build against the native one, in one sitting:
the engine's download size (gzip), page load to the title, the time to play
the same stretch of the demo (a title, a click and its transition) in
Chromium and in the native headless runner, and the tab's memory after
playing the whole demo.

    bench/web_bench.py SITE_DIR NATIVE_VELMORA DEMO_DIR
"""
import functools
import gzip
import http.server
import os
import shutil
import socketserver
import subprocess
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service as ChromeService

SITE, NATIVE, DEMO = (os.path.abspath(a) for a in sys.argv[1:4])
SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def demo_events(until=None):
    lines = []
    with open(os.path.join(SOURCE, 'demo', 'demo.events'), encoding='utf-8') as f:
        for line in f:
            words = line.split()
            if words and words[0] == 'screenshot':
                if words[1] == until:
                    break
                continue
            lines.append(line.rstrip('\n'))
    return '\n'.join(lines) + '\n'


class Quiet(http.server.SimpleHTTPRequestHandler):
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map, **{'.wasm': 'application/wasm'})

    def log_message(self, *args):
        pass


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def native_seconds(text, repeat=3):
    work = tempfile.mkdtemp(prefix='velmora-bench-')
    try:
        shutil.copytree(DEMO, os.path.join(work, 'game'))
        path = os.path.join(work, 'run.events')
        with open(path, 'w', encoding='utf-8') as f:
            f.write(text)
        best = None
        for _ in range(repeat):
            t0 = time.perf_counter()
            subprocess.run([NATIVE, '--headless', '--game', os.path.join(work, 'game'), '--events', path], check=True,
                           env=dict(os.environ, XDG_DATA_HOME=work))
            t = time.perf_counter() - t0
            best = t if best is None else min(best, t)
        return best
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    for name in ('velmora.wasm', 'velmora.js'):
        with open(os.path.join(SITE, name), 'rb') as f:
            data = f.read()
        print(f'{name}: {len(data) / 1024:.0f} KiB, {len(gzip.compress(data, 9)) / 1024:.0f} KiB gzip')
    server = Server(('127.0.0.1', 0), functools.partial(Quiet, directory=SITE))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    url = f'http://127.0.0.1:{server.server_address[1]}/index.html?test=1'
    profile = tempfile.mkdtemp(prefix='velmora-chromium-')
    options = webdriver.ChromeOptions()
    options.binary_location = '/usr/bin/chromium'
    for a in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
              '--disable-component-update', '--disable-sync', '--no-first-run', '--enable-precise-memory-info',
              f'--user-data-dir={profile}'):
        options.add_argument(a)
    driver = webdriver.Chrome(options=options, service=ChromeService(executable_path='/usr/bin/chromedriver'))
    driver.set_script_timeout(600)
    run = ('const done = arguments[arguments.length - 1];'
           'const t0 = performance.now();'
           'velmora.events(arguments[0]).then(() => done(performance.now() - t0), (e) => done(String(e)));')
    try:
        loads = []
        for _ in range(3):
            driver.get(url)
            loads.append(driver.execute_async_script(
                'const done = arguments[0]; const t = setInterval(() => { if (window.velmora) { clearInterval(t);'
                ' velmora.ready.then(() => velmora.events("wait 2500\\n")).then(() => done(performance.now())); } }, 5);'))
        print(f'page load to the title (virtual 2.5 s of title fade at once): {min(loads):.0f} ms (best of 3)')

        opening = demo_events('01c-quick-save-hover.png')
        web = []
        for _ in range(3):
            driver.get(url)
            driver.execute_async_script('const done = arguments[0]; const t = setInterval(() => {'
                                        ' if (window.velmora) { clearInterval(t); velmora.ready.then(() => done()); } }, 5);')
            web.append(driver.execute_async_script(run, opening) / 1000)
        native = native_seconds(opening)
        print(f'the opening (title, click, transition, quick bar; 8 s of virtual time): Chromium {min(web):.2f} s, '
              f'native {native:.2f} s (start-up included), ratio {min(web) / native:.2f}')

        driver.get(url)
        driver.execute_async_script('const done = arguments[0]; const t = setInterval(() => {'
                                    ' if (window.velmora) { clearInterval(t); velmora.ready.then(() => done()); } }, 5);')
        whole = driver.execute_async_script(run, demo_events('12c-scene-replay.png'))
        mem = driver.execute_script('return [performance.memory.usedJSHeapSize, HEAP8.length];')
        print(f'the demo through its gallery in Chromium: {whole / 1000:.1f} s; then JS heap {mem[0] / 2**20:.1f} MiB, '
              f'wasm memory {mem[1] / 2**20:.0f} MiB')
    finally:
        driver.quit()
        server.shutdown()
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == '__main__':
    main()
