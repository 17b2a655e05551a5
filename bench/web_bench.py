#!/usr/bin/python3
"""The browser build against the native one, in one sitting:
the engine's download size (gzip), page load to the title, the time to play
the same stretch of the demo (a title, a click and its transition) in
Chromium and in the native headless runner, the CPU the
graphics chapter's transitions take beyond an idle wait in both, and the tab's memory after playing the whole
demo.

    bench/web_bench.py SITE_DIR NATIVE_VELMORA DEMO_DIR
"""
import gzip
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service as ChromeService

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), 'tests', 'web'))
from web_support import demo_chunks, serve  # noqa: E402

SITE, NATIVE, DEMO = (os.path.abspath(a) for a in sys.argv[1:4])


def demo_events(until):
    """The demo's events up to a screenshot, without the screenshots."""
    return ''.join(text for text, _ in demo_chunks(until))


def native_run(text, repeat):
    """The least wall time and the least CPU (user + system) the native runner
    takes to play the events on a copy of the demo, start-up included."""
    work = tempfile.mkdtemp(prefix='velmora-bench-')
    try:
        shutil.copytree(DEMO, os.path.join(work, 'game'))
        path = os.path.join(work, 'run.events')
        with open(path, 'w', encoding='utf-8') as f:
            f.write(text)
        wall, cpu = [], []
        for _ in range(repeat):
            t0, r0 = time.perf_counter(), resource.getrusage(resource.RUSAGE_CHILDREN)
            subprocess.run([NATIVE, '--headless', '--game', os.path.join(work, 'game'), '--events', path], check=True,
                           env=dict(os.environ, XDG_DATA_HOME=work))
            t1, r1 = time.perf_counter(), resource.getrusage(resource.RUSAGE_CHILDREN)
            wall.append(t1 - t0)
            cpu.append((r1.ru_utime - r0.ru_utime) + (r1.ru_stime - r0.ru_stime))
        return min(wall), min(cpu)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def descendants(pid):
    """A process and all its children's children, as pids."""
    parents = {}
    for entry in os.listdir('/proc'):
        if entry.isdigit():
            try:
                with open(f'/proc/{entry}/stat') as f:
                    parents[int(entry)] = int(f.read().rsplit(')', 1)[1].split()[1])
            except OSError:
                pass
    out, todo = [], [pid]
    while todo:
        p = todo.pop()
        out.append(p)
        todo += [c for c, pp in parents.items() if pp == p]
    return out


def resident_kib(pid):
    try:
        with open(f'/proc/{pid}/status') as f:
            return next((int(line.split()[1]) for line in f if line.startswith('VmRSS:')), 0)
    except OSError:
        return 0


def is_renderer(pid):
    try:
        with open(f'/proc/{pid}/cmdline', 'rb') as f:
            return b'--type=renderer' in f.read()
    except OSError:
        return False


def cpu_seconds(pids):
    """The CPU (user + system) the processes have used so far."""
    total = 0
    for p in pids:
        try:
            with open(f'/proc/{p}/stat') as f:
                fields = f.read().rsplit(')', 1)[1].split()
            total += int(fields[11]) + int(fields[12])
        except OSError:
            pass
    return total / os.sysconf('SC_CLK_TCK')


def main():
    for name in ('velmora.wasm', 'velmora.js'):
        with open(os.path.join(SITE, name), 'rb') as f:
            data = f.read()
        print(f'{name}: {len(data) / 1024:.0f} KiB, {len(gzip.compress(data, 9)) / 1024:.0f} KiB gzip')
    server, base_url = serve(SITE)
    url = base_url + 'index.html?test=1'
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
    def open_test_page():
        driver.get(url)
        driver.execute_async_script('const done = arguments[0]; const t = setInterval(() => {'
                                    ' if (window.velmora) { clearInterval(t); velmora.ready.then(() => done()); } }, 5);')

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
        native = native_run(opening, 3)[0]
        print(f'the opening (title, click, transition, quick bar; 8 s of virtual time): Chromium {min(web):.2f} s, '
              f'native {native:.2f} s (start-up included), ratio {min(web) / native:.2f}')

        # The graphics chapter's transitions (from its sprite pages to the
        # mosaic) as CPU beyond an idle wait of the same virtual length on
        # the page before them, here (every process of the browser, from
        # /proc) and in the native runner (its CPU as a child): both draw
        # the same frames on the same virtual clock, so the ratio of the two
        # is the ratio of the CPU a frame takes.
        before = demo_events('02a-sprites.png')
        chapter = demo_events('05-mosaic.png')[len(before):]
        idle = f'wait {sum(int(w.split()[1]) for w in chapter.splitlines() if w.startswith("wait "))}\n'
        browser = descendants(driver.service.process.pid)
        web = []
        for _ in range(3):
            open_test_page()
            driver.execute_async_script(run, before)
            t0 = cpu_seconds(browser)
            driver.execute_async_script(run, idle)
            t1 = cpu_seconds(browser)
            driver.execute_async_script(run, chapter)
            web.append((cpu_seconds(browser) - t1) - (t1 - t0))
        native = native_run(before + idle + chapter, 7)[1] - native_run(before + idle, 7)[1]
        print(f'the transitions from the sprite pages to the mosaic, CPU beyond an idle wait ({idle.split()[1]} ms '
              f'virtual): Chromium {min(web) * 1000:.0f} ms (best of 3), native {native * 1000:.0f} ms (best of 7), '
              f'ratio {min(web) / native:.2f}')

        open_test_page()
        whole = driver.execute_async_script(run, demo_events('12c-scene-replay.png'))
        mem = driver.execute_script('return [performance.memory.usedJSHeapSize, HEAP8.length];')
        rss = {p: resident_kib(p) for p in descendants(driver.service.process.pid)}
        tabs = [k for p, k in rss.items() if is_renderer(p)]
        print(f'the demo through its gallery in Chromium: {whole / 1000:.1f} s; then JS heap {mem[0] / 2**20:.1f} MiB, '
              f'wasm memory {mem[1] / 2**20:.0f} MiB; resident: the renderer (the tab) {max(tabs) / 1024:.0f} MiB, '
              f'the whole browser {sum(rss.values()) / 1024:.0f} MiB')
    finally:
        driver.quit()
        server.shutdown()
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == '__main__':
    main()
