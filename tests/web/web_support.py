"""What the browser tests and the browser bench share: the site on a
loopback server, the demo's events cut at its screenshots, the native
runner's pictures of them, and a plain PNG reader to compare pictures."""
import base64
import functools
import http.server
import os
import shutil
import socketserver
import struct
import subprocess
import tempfile
import threading
import zlib

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DEMO_EVENTS = os.path.join(SOURCE, 'demo', 'demo.events')


class _Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


class _QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map, **{'.wasm': 'application/wasm'})

    def log_message(self, *args):
        pass


def serve(site):
    """Serves the site folder on a free loopback port: (server, base URL)."""
    server = _Server(('127.0.0.1', 0), functools.partial(_QuietHandler, directory=site))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, f'http://127.0.0.1:{server.server_address[1]}/'


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


def native_screenshots(native, demo, chunks):
    """Runs the chunks with the native runner (one events file) on a copy of
    the demo; the screenshots' bytes by name."""
    work = tempfile.mkdtemp(prefix='velmora-native-')
    try:
        game = os.path.join(work, 'game')
        shutil.copytree(demo, game)
        with open(os.path.join(work, 'run.events'), 'w', encoding='utf-8') as f:
            for text, name in chunks:
                f.write(text + f'screenshot {os.path.join(work, name)}\n')
        subprocess.run([native, '--headless', '--game', game, '--events', os.path.join(work, 'run.events')],
                       check=True, env=dict(os.environ, QT_QPA_PLATFORM='offscreen', XDG_DATA_HOME=work))
        out = {}
        for _, name in chunks:
            with open(os.path.join(work, name), 'rb') as f:
                out[name] = f.read()
        return out
    finally:
        shutil.rmtree(work, ignore_errors=True)


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
