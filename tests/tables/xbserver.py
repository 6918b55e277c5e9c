#!/usr/bin/python3
"""Loopback peer for the server client's tests.

  xbserver.py table ENGINE.so LOG [FAULT,...]   database server over the table engine
  xbserver.py line                              line-protocol server

Prints the port it listens on (127.0.0.1, ephemeral), then serves one connection after another.
Frames are encoded and decoded here on their own, not by the client's code.

Faults, each CODE:...: delay:CODE:MS, badlen:CODE, closemid:CODE, reset:CODE, long:CODE,
stall:CODE, notices:CODE, shutdown:CODE, push:CODE (a message after an unanswered command), refuse,
claim:CODE:LENGTH (a header claiming LENGTH hex bytes, then a trickle), bomb:CODE:MIB (a compressed
body expanding to MIB MiB of zeros), big:CODE:MIB (an answer of MIB MiB), trickle:CODE:MS (a progress notice every MS ms, no answer), twice:CODE (the answer twice),
kind:CODE:KIND (the answer with that kind), recsize:0469:HEX (the open answer's record size).
"""
import ctypes, os, socket, struct, sys, threading, time, zlib

ENGINE_LOCK = threading.Lock()  # one engine, one connection at a time inside it

def hex8(n): return '%08X' % (n & 0xFFFFFFFF)

def login_decode(data):
    table = {}
    for c in range(30, 130):
        for lo, d in ((30, -25), (40, -15), (50, -35), (60, 5), (70, 25), (80, 45), (90, 65), (100, 85), (110, 105), (120, 125)):
            if lo <= c <= lo + 9:
                table[c + d] = c
    return bytes(table.get(b, b) for b in data)

class Fields:
    def __init__(self, data): self.d, self.p = data, 0
    def take(self, n):
        s = self.d[self.p:self.p + n]; self.p += n; return s
    def t(self, n): return self.take(n).decode('latin-1').rstrip(' ')
    def h(self, n):
        v = int(self.take(n), 16)
        return v - (1 << 32) if n == 8 and v >= 1 << 31 else v
    def d1(self): return int(self.take(1))
    def yn(self): return self.take(1) == b'Y'
    def rest(self): return self.d[self.p:]

class Engine:
    def __init__(self, path):
        e = self.e = ctypes.CDLL(path)
        S, I, D, P, V = ctypes.c_char_p, ctypes.c_int32, ctypes.c_double, ctypes.c_void_p, None
        sig = {
            'xb_Alias': (S, [I]), 'xb_AppendBlank': (V, []), 'xb_Bof': (I, []), 'xb_Close': (V, []),
            'xb_CloseIndexes': (V, []), 'xb_Commit': (V, []), 'xb_Count': (I, []), 'xb_DBFilter': (S, []),
            'xb_Delete': (V, []), 'xb_Deleted': (I, []), 'xb_Eof': (I, []), 'xb_EvalLogical': (I, [S]),
            'xb_EvalNumeric': (D, [S]), 'xb_EvalString': (S, [S]), 'xb_EvalTest': (I, [S]),
            'xb_FieldCount': (I, []), 'xb_FieldDecimals': (I, [S]), 'xb_FieldName': (S, [I]),
            'xb_FieldOffset': (I, [S]), 'xb_FieldType': (S, [S]), 'xb_FieldWidth': (I, [S]), 'xb_Found': (I, []),
            'xb_GetBlob': (V, [S, P]), 'xb_GetBlobLength': (I, [S]), 'xb_GetDateString': (S, [S]),
            'xb_GetDouble': (D, [S]), 'xb_GetInteger': (I, [S]), 'xb_GetMemo': (P, [S, I]), 'xb_MemDealloc': (V, [P]),
            'xb_GetRecord': (V, [P]), 'xb_GetScope': (S, [I]), 'xb_GetTrimString': (S, [S]), 'xb_Go': (V, [I]),
            'xb_GoBottom': (V, []), 'xb_GoTop': (V, []), 'xb_IndexCondition': (S, []), 'xb_IndexKey': (S, []),
            'xb_IndexKeyField': (S, []), 'xb_IndexName': (S, [I]), 'xb_IndexOpen': (I, [S]), 'xb_IndexOrd': (I, []),
            'xb_IndexType': (I, []), 'xb_IsEncrypted': (I, [I]), 'xb_OrderPosSet': (V, [D]),
            'xb_PutBlob': (I, [S, P, I]), 'xb_PutRecord': (V, [P]), 'xb_Query': (I, [S]), 'xb_QueryRecCount': (I, []),
            'xb_QueryTest': (I, [S]), 'xb_RecCount': (I, []), 'xb_RecNo': (I, []), 'xb_RecSize': (I, []),
            'xb_Replace': (V, [S, I, P]), 'xb_Rlock': (I, [I]), 'xb_Seek': (I, [S]), 'xb_Select': (V, [I]),
            'xb_SetCentury': (V, [I]), 'xb_SetDateFormat': (V, [I]), 'xb_SetDeleted': (V, [I]), 'xb_SetEpoch': (V, [I]),
            'xb_SetExact': (V, [I]), 'xb_SetLockTimeout': (V, [I]), 'xb_SetMemoBlockSize': (V, [I]),
            'xb_SetOrder': (I, [I]), 'xb_SetPassword': (V, [S]), 'xb_SetScope': (I, [S, S]), 'xb_SetSoftSeek': (V, [I]),
            'xb_SetTranslate': (V, [I]), 'xb_SetTurboRead': (V, [I]), 'xb_Skip': (V, [I]), 'xb_SysProp': (I, [I, I]),
            'xb_TagArea': (I, [S]), 'xb_TagName': (S, [I]), 'xb_Unlock': (V, [I]),
            'xb_UseEx': (I, [S, S, I, I, I]), 'xb_Version': (S, []), 'xb_WorkArea': (I, [S]),
        }
        for name, (res, args) in sig.items():
            f = getattr(e, name); f.restype = res; f.argtypes = args
    def __getattr__(self, name): return getattr(self.e, 'xb_' + name)

def b(s): return s if isinstance(s, bytes) else str(s).encode('latin-1')
def yn(v): return b'Y' if v else b'N'
def txt(s): return b'' if s is None else s
def fnum(v): return repr(float(v)).rstrip('0').rstrip('.').encode() if v != int(v) else str(int(v)).encode()

BOMBS = {}
def bomb(mib):
    if mib not in BOMBS:
        z, zero = zlib.compressobj(9), bytes(1 << 20)
        BOMBS[mib] = b''.join(z.compress(zero) for _ in range(mib)) + z.flush()
    return BOMBS[mib]

class TableServer:
    def __init__(self, engine, log, faults):
        self.x, self.log, self.faults = engine, log, faults
        self.compress = False
    def fault(self, kind, code=None):
        for f in self.faults:
            p = f.split(':')
            if p[0] == kind and (len(p) == 1 or p[1] == code): return p
        return None
    def frame(self, kind, body):
        if self.compress and body: body = zlib.compress(body)
        return (hex8(len(body)) + '00000000' + kind).encode() + body

    def serve(self, conn):
        buf = b''
        def need(n):
            nonlocal buf
            while len(buf) < n:
                chunk = conn.recv(65536)
                if not chunk: raise EOFError
                buf += chunk
            out, buf = buf[:n], buf[n:]
            return out
        while True:
            try:
                head = need(20)
                length, flag, session, code = int(head[:8], 16), head[8:12], head[12:16], head[16:20].decode()
                payload = need(length) if length else b''
            except EOFError:
                return
            if session != b'0000':
                with open(self.log, 'a') as lf: lf.write('bad session %r\n' % session)
                return
            if flag == b'0001': payload = zlib.decompress(payload); self.compress = True
            with open(self.log, 'a') as lf: lf.write('%s %s\n' % (code, payload[:60].hex()))
            if code in ('0566', '0577', '0587'):
                with ENGINE_LOCK: self.run(code, payload)
                if self.fault('push', code): conn.sendall(self.frame('0301', b'pushed'))
                continue
            f = self.fault('delay', code)
            if f: time.sleep(int(f[2]) / 1000.0)
            if self.fault('reset', code):
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack('ii', 1, 0)); conn.close(); return
            if self.fault('shutdown', code):
                conn.sendall(self.frame('0302', b'')); time.sleep(0.5); return
            if self.fault('notices', code):
                conn.sendall(self.frame('0300', b'')+ self.frame('0300', b'0000') +
                             self.frame('0300', (hex8(0) + hex8(10) + hex8(4)).encode()) +
                             self.frame('0301', b'Halfway there') + self.frame('0303', b'\x00\x01stream'))
            f = self.fault('claim', code)
            if f:
                conn.sendall((f[2] + '00000000' + '0000').encode() + b'x' * 100); time.sleep(3); return
            f = self.fault('bomb', code)
            if f:
                packed = bomb(int(f[2]))
                conn.sendall((hex8(len(packed)) + '00000000' + '0000').encode() + packed); continue
            f = self.fault('trickle', code)
            if f:
                while True:
                    conn.sendall(self.frame('0300', (hex8(0) + hex8(10) + hex8(1)).encode())); time.sleep(int(f[2]) / 1000)
            f = self.fault('big', code)
            if self.fault('long', code): answer = b'x' * 70000
            elif f: answer = b'x' * (int(f[2]) << 20)
            else:
                with ENGINE_LOCK: answer = self.run(code, payload)
            f = self.fault('kind', code)
            data = self.frame(f[2] if f else '0000', answer)
            if self.fault('twice', code): data += data
            if self.fault('badlen', code):
                conn.sendall(b'ZZZZ' + data[4:]); time.sleep(0.3); return
            if self.fault('closemid', code):
                conn.sendall(data[:len(data) // 2] if len(data) > 21 else data[:10]); conn.close(); return
            if self.fault('stall', code):
                conn.sendall(self.frame('0000', b'x' * 200)[:30]); time.sleep(2); return
            conn.sendall(data)

    def run(self, code, p):
        x, f = self.x, Fields(p)
        if code == '0464':
            f = Fields(login_decode(p))
            pw, user, mach, empty, default = f.t(255), f.t(255), f.t(255), f.t(255), f.t(255)
            six, comp, zero = f.take(1), f.yn(), f.take(1)
            self.compress = comp
            if self.fault('refuse') or pw != 'secret' or default != 'Default' or six != b'6' or zero != b'0':
                return b'N  Too many users  '
            return b'Y'
        if code == '0465': return b''
        if code == '0469':
            # Three decimal fields have no width: the table type and commit level are one digit.
            db, table = f.t(255), f.t(255)
            digits = f.take(len(p) - 1039 - 1)
            mode, kind = int(digits[:-1]), int(digits[-1:])
            pw, turbo, index = f.t(255), f.yn(), f.t(255)
            epoch, dfmt, memo = f.h(4), f.h(4), f.h(4)
            deleted, century, soft, exact, oem, apply = [f.yn() for _ in range(6)]
            commit = int(f.rest())
            if apply:
                x.SetEpoch(epoch); x.SetCentury(-1 if century else 0); x.SetDeleted(-1 if deleted else 0)
                x.SetSoftSeek(-1 if soft else 0); x.SetExact(-1 if exact else 0)
            alias = table.rsplit('.', 1)[0].upper()
            wa = x.UseEx(b(os.path.join(db, table)), b(alias), mode, kind, commit)
            if wa <= 0:
                return b('%04X' % 0) + b'0' * 24 + b'N' + b' ' * 255 + b'0000' + b'0000' + b'00000000' + b'00000001' + b'Unable to open table'
            x.Select(wa)
            if index: x.SetOrder(x.TagArea(b(index)))
            order = x.IndexOrd()
            block = b''
            count = x.SysProp(3000, 0)
            for i in range(1, count + 1):
                name = txt(x.TagName(i)); x.SetOrder(i)
                key = txt(x.IndexKey())
                block += name.ljust(255) + key.ljust(255) + b''.ljust(255) + key.ljust(255) + b'000010'
            x.SetOrder(order)
            cond = txt(x.IndexCondition())[:55]
            rec = self.fault('recsize', code)
            size = int(rec[2], 16) if rec else x.RecSize()
            return (b('%04X' % wa) + b(hex8(x.RecCount())) + b(hex8(x.FieldCount())) + b(hex8(size)) + b'N' +
                    cond.ljust(55) + b' ' * 200 + b('%04X' % order) + b('%04X' % count) + b(hex8(len(block))) +
                    block + b(hex8(0)))
        if code == '0467':
            path, alias = f.t(255), f.t(255)
            digits = f.rest(); mode, kind, commit = int(digits[:-2]), int(digits[-2:-1]), int(digits[-1:])
            return b('%X' % (x.UseEx(b(path), b(alias), mode, kind, commit) & 0xFFFF))
        simple = {
            '0470': lambda: b(x.RecCount()), '0476': lambda: yn(x.Bof()), '0478': lambda: yn(x.Deleted()),
            '0479': lambda: yn(x.Eof()), '0500': lambda: b(x.RecNo()), '0516': lambda: b(x.Count()),
            '0519': lambda: b(x.QueryRecCount()), '0526': lambda: b(x.IndexOrd()), '0539': lambda: txt(x.DBFilter()),
            '0548': lambda: yn(x.Found()), '0552': lambda: txt(x.IndexCondition()), '0553': lambda: b(x.IndexType()),
            '0554': lambda: txt(x.IndexKey()), '0555': lambda: txt(x.IndexKeyField()), '0618': lambda: txt(x.Version()),
        }
        if code in simple: return simple[code]()
        byfield = {
            '0481': lambda s: b(x.GetBlobLength(s)), '0484': lambda s: txt(x.GetDateString(s)),
            '0485': lambda s: fnum(x.GetDouble(s)), '0486': lambda s: b(x.GetInteger(s)),
            '0492': lambda s: txt(x.GetTrimString(s)), '0503': lambda s: yn(x.Seek(s)),
            '0517': lambda s: b(x.TagArea(s)), '0543': lambda s: yn(x.EvalLogical(s)),
            '0544': lambda s: fnum(x.EvalNumeric(s)), '0545': lambda s: txt(x.EvalString(s)),
            '0546': lambda s: b(x.EvalTest(s)), '0570': lambda s: b(x.QueryTest(s)), '0571': lambda s: b(x.WorkArea(s)),
            '0611': lambda s: b(x.FieldDecimals(s)), '0614': lambda s: b(x.FieldOffset(s)),
            '0615': lambda s: txt(x.FieldType(s)), '0616': lambda s: b(x.FieldWidth(s)),
        }
        if code in byfield: return byfield[code](p)
        none = {'0473': x.AppendBlank, '0477': x.Delete, '0494': x.GoBottom, '0495': x.GoTop, '0511': x.Commit,
                '0523': x.Close, '0533': x.CloseIndexes}
        if code in none:
            none[code](); return b(hex8(x.RecNo())) if code == '0473' else b''
        if code == '0480':
            n = x.GetBlobLength(p); buf = ctypes.create_string_buffer(max(n, 1)); x.GetBlob(p, buf); return buf.raw[:n]
        if code == '0489':
            f.take(8); width = f.h(8); ptr = x.GetMemo(f.rest(), width)
            s = ctypes.string_at(ptr) if ptr else b''
            if ptr: x.MemDealloc(ptr)
            return s
        if code == '0493': x.Go(f.h(8)); return b(hex8(x.RecNo()))
        if code == '0498':
            name, n = f.t(10), f.h(8); data = f.take(n)
            self.blob = (name, data); return b''
        if code == '0624':
            name, data = self.blob; return b(hex8(x.PutBlob(b(name), data, len(data))))
        if code == '0499': x.PutRecord(p); return b''
        if code == '0501':
            name, kind = f.t(10), f.h(4); v = f.rest()
            m = {1024: (1, ctypes.c_char_p(v)), 1025: (5, ctypes.c_char_p(v)),
                 2: (2, ctypes.c_char_p(v)), 1: (4, ctypes.c_char_p(v)), 8: (3, ctypes.c_char_p(v))}
            if kind in m: x.Replace(b(name), m[kind][0], ctypes.cast(m[kind][1], ctypes.c_void_p))
            return b''
        if code == '0502': return yn(x.Rlock(int(p)))
        if code == '0504': x.Select(f.h(4)); return b''
        if code == '0507': return b(x.SetOrder(f.h(4)))
        if code == '0509': x.Skip(f.h(8)); return b''
        if code == '0510': x.Unlock(f.h(8)); return b''
        if code in ('0505', '0506', '0508', '0556', '0576'):
            fn = {'0505': x.SetSoftSeek, '0506': x.SetExact, '0508': x.SetDeleted, '0556': x.SetCentury,
                  '0576': x.SetTurboRead}[code]
            fn(-1 if p == b'Y' else 0); return b''
        if code == '0587': x.SetTranslate(-1 if p == b'Y' else 0); return b''
        if code == '0566': x.SetPassword(p); return b''
        if code == '0577': x.SetLockTimeout(int(p)); return b''
        if code == '0557': x.SetDateFormat(f.h(8)); return b''
        if code == '0593': x.SetEpoch(f.h(8)); return b(f.h(8) if False else 0)
        if code == '0594': x.SetMemoBlockSize(int(f.t(10))); return b'1'
        if code == '0558': x.OrderPosSet(float(p)); return b''
        if code == '0563':
            prop = f.h(8); v = f.rest()
            val = {b'Y': -1, b'N': 0}.get(v, int(v, 16) if len(v) == 8 else int(v) if v else 0)
            return b('%X' % (x.SysProp(prop, val) & 0xFFFFFFFF))
        if code == '0567':
            ll, lh = f.h(4), f.h(4); lo, hi = f.take(255)[:ll], f.take(255)[:lh]
            return yn(x.SetScope(lo, hi))
        if code == '0518': return txt(x.TagName(f.h(4)))
        if code in ('0525', '0530', '0550', '0612', '0578'):
            fn = {'0525': x.IndexName, '0530': x.Alias, '0550': x.GetScope, '0612': x.FieldName}.get(code)
            return yn(x.IsEncrypted(int(p))) if code == '0578' else txt(fn(int(p)))
        if code == '0620': f.t(255); return b(x.IndexOpen(f.t(255).encode()))
        if code == '0054':
            db, name = f.t(255), f.t(255); return yn(os.path.exists(os.path.join(db, name)))
        if code == '0515':
            buf = ctypes.create_string_buffer(x.RecSize()); x.GetRecord(buf); return buf.raw
        if code == '0581':
            lines = []
            for i in range(1, x.FieldCount() + 1):
                n = x.FieldName(i)
                lines += [n.decode(), x.FieldType(n).decode(), '%X' % x.FieldWidth(n), '%X' % x.FieldDecimals(n),
                          '%X' % x.FieldOffset(n)]
            return ('\r\n'.join(lines) + '\r\n').encode()
        if code == '0646':
            first = x.Query(p); return b(hex8(first) + hex8(x.QueryRecCount()))
        if code == '0626':
            forward, inclusive = f.yn(), f.yn()
            digits = f.take(len(p) - 2 - 16)  # the order has any width; the two flags one digit each
            order, at_first, at_last = int(digits[:-2]), int(digits[-2:-1]), int(digits[-1:])
            count, recno = f.h(8), f.h(8)
            if at_first not in (0, 1) or at_last not in (0, 1): return b''
            step = 1 if forward else -1
            if at_first: x.GoTop()
            elif at_last: x.GoBottom()
            else:
                x.Go(recno)
                if not inclusive: x.Skip(step)
            out, size = b'', x.RecSize(); n = 0
            buf = ctypes.create_string_buffer(size)
            while n < count:
                if (forward and x.Eof()) or (not forward and x.Bof()):
                    out += (b'2' if forward else b'1') + b(hex8(0) + hex8(0)) + b'\0' * size; n += 1; break
                x.GetRecord(buf); r = x.RecNo()
                out += b'0' + b(hex8(r) + hex8(r)) + buf.raw; n += 1
                x.Skip(step)
            return b(hex8(n)) + out
        return b''

def serve_table(engine_path, log, faults):
    engine = Engine(engine_path)
    for f in faults:
        if f.startswith('bomb:'): bomb(int(f.split(':')[2]))  # made before the port is told
    listen(lambda c: TableServer(engine, log, faults).serve(c))

def serve_line(conn):
    conn.sendall(b'220 ready\r\n')
    buf = b''
    while True:
        while b'\r\n' not in buf:
            chunk = conn.recv(4096)
            if not chunk: return
            buf += chunk
        line, buf = buf.split(b'\r\n', 1)
        replies = {b'MULTI': b'123-first\r\nmiddle\r\n\r\n123 last\r\n', b'OK': b'+OK fine\r\n',
                   b'ERR': b'-ERR bad\r\n', b'ABC': b'abc def\r\n', b'SPLIT': b'25', b'QUIT': b'221 bye\r\n'}
        if line == b'PARTIAL':
            conn.sendall(b'1234'); conn.close(); return
        if line == b'SPLIT':
            conn.sendall(b'25'); time.sleep(0.05); conn.sendall(b'0 split\r\n'); continue
        conn.sendall(replies.get(line, b'500 what\r\n'))
        if line == b'QUIT': conn.close(); return

def listen(handler):
    s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(('127.0.0.1', 0)); s.listen(4)
    print(s.getsockname()[1], flush=True)
    def run(c):
        try: handler(c)
        except (ConnectionError, OSError): pass
        finally:
            try: c.close()
            except OSError: pass
    while True:
        c, _ = s.accept()
        c.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        threading.Thread(target=run, args=(c,), daemon=True).start()

if __name__ == '__main__':
    if sys.argv[1] == 'line': listen(serve_line)
    elif sys.argv[1] == 'sql':
        import xbsqlserver
        engine, faults = Engine(sys.argv[2]), [f for f in (sys.argv[5] if len(sys.argv) > 5 else '').split(',') if f]
        listen(lambda c: xbsqlserver.SqlServer(engine, sys.argv[3], sys.argv[4], faults).serve(c))
    else: serve_table(sys.argv[2], sys.argv[3], [f for f in (sys.argv[4] if len(sys.argv) > 4 else '').split(',') if f])
