"""SQL statements and server procedures for the loopback peer (xbserver.py sql ...).

Statements run in the SQL engine library the client uses locally; the database alias names the
data folder. Procedures of the test library:
  ADD(A, B) -> SUM        integers
  ECHO(...)               every parameter back, each value as it came
  FAIL                    error 7, "Procedure failed"
  BADSIZE, SHORT, BADHEX  malformed answers
Faults: shortrows:0807 cuts the record block short; rows:0802:HEX and recsize:0802:HEX claim that
many rows or that record size; width:0806:HEX gives the first field that width.
"""
import ctypes, struct
from xbserver import TableServer, Fields, hex8, b

def entry(proc_type, dtype, ptype, name, value):
    if not value: return b'00000000'  # an entry without a value is its size alone
    return (hex8(len(value)) + '%02X%02X' % (dtype, ptype) + name.ljust(20)).encode() + value

def answer(err, msg, entries=b''):
    return ('%04X' % err).encode() + msg.encode().ljust(255) + entries

FT_INTEGER, PT_INPUT, PT_OUTPUT = 3, 1, 2

class SqlServer(TableServer):
    def __init__(self, engine, sql_path, log, faults):
        super().__init__(engine, log, faults)
        s = self.s = ctypes.CDLL(sql_path)
        I, P, S = ctypes.c_int32, ctypes.c_void_p, ctypes.c_char_p
        s.dll_sql_Prepare.argtypes = [S, I, S, I, I, I, I, S, I, I, P, I, P, I, P]
        s.dll_sql_OpenSQL.argtypes = [I, S, P, P, P, P]
        s.dll_sql_GetStructure.argtypes = [I, P, I]
        s.dll_sql_GetRecord.argtypes = [I, I, I, P, I]
        s.dll_sql_ReadBlobData.argtypes = [I, I, I, P, I]

    def run(self, code, p):
        f, s = Fields(p), self.s
        if code == '0800':
            alias, century, dfmt = f.t(255), f.yn(), f.t(10)
            deleted, readonly, memo, ttype = f.yn(), f.yn(), f.h(8), f.h(1)
            pw, oem, commit = f.t(255), f.yn(), f.h(1)
            head = f.take(16); tables = head + f.take(int(head[:8], 16)); params = f.rest()
            msg = ctypes.create_string_buffer(256)
            h = s.dll_sql_Prepare(b(alias), -century, b(dfmt), -deleted, -readonly, memo, ttype, b(pw), -oem, commit,
                                  tables, len(tables), params, len(params), msg)
            return b(hex8(h) + hex8(0 if h > 0 else 1)) + msg.value
        if code == '0802':
            h = f.h(8); sql = f.rest()
            n, nf, size = ctypes.c_int32(), ctypes.c_int32(), ctypes.c_int32()
            msg = ctypes.create_string_buffer(256)
            err = s.dll_sql_OpenSQL(h, sql, ctypes.byref(n), ctypes.byref(nf), ctypes.byref(size), msg)
            rows, rec = self.fault('rows', code), self.fault('recsize', code)
            if rows: n.value = int(rows[2], 16) - (1 << 32 if int(rows[2], 16) >= 1 << 31 else 0)
            if rec: size.value = int(rec[2], 16) - (1 << 32 if int(rec[2], 16) >= 1 << 31 else 0)
            return b(hex8(n.value) + hex8(nf.value) + hex8(size.value) + hex8(err)) + msg.value
        if code == '0804': s.dll_sql_CloseSQL(f.h(8)); return b''
        if code == '0801': s.dll_sql_UnPrepareSQL(f.h(8)); return b''
        if code == '0806':
            h = f.h(8); n = s.dll_sql_GetStructure(h, None, 0)
            buf = ctypes.create_string_buffer(max(n, 1)); s.dll_sql_GetStructure(h, buf, n)
            w = self.fault('width', code)
            if w:
                lines = buf.raw[:n].split(b'\r\n'); lines[2] = w[2].encode(); return b'\r\n'.join(lines)
            return buf.raw[:n]
        if code == '0807':
            h, first, count, size = f.h(8), f.h(8), f.h(8), f.h(8)
            buf = ctypes.create_string_buffer(size); n = s.dll_sql_GetRecord(h, first, count, buf, size)
            out = buf.raw[:n]
            return out[:len(out) // 2] if self.fault('shortrows', code) else out
        if code == '0808':
            h, rec, field = f.h(8), f.h(8), f.h(8)
            n = s.dll_sql_ReadBlobData(h, rec, field, None, 0)
            if n <= 0: return b''
            buf = ctypes.create_string_buffer(n); s.dll_sql_ReadBlobData(h, rec, field, buf, n); return buf.raw
        if code == '0044':
            db, name = f.t(255), f.t(255)
            if name == 'ADD':
                zero = struct.pack('<i', 0)
                return answer(0, '', entry(0, FT_INTEGER, PT_INPUT, 'A', zero) + entry(0, FT_INTEGER, PT_INPUT, 'B', zero) +
                              entry(0, FT_INTEGER, PT_OUTPUT, 'SUM', zero))
            return answer(0, '')
        if code == '0042':
            db, name = f.t(255), f.t(255)
            params = []
            while f.p < len(f.d):
                size = f.h(8); dtype, ptype = f.h(2), f.h(2); pname = f.t(20)
                params.append((dtype, ptype, pname, f.take(size)))
            if name == 'ADD':
                vals = {n: struct.unpack('<i', v)[0] for _, _, n, v in params}
                return answer(0, '', entry(0, FT_INTEGER, PT_OUTPUT, 'SUM', struct.pack('<i', vals['A'] + vals['B'])))
            if name == 'ECHO':
                return answer(0, '', b''.join(entry(0, d, t, n, v) for d, t, n, v in params))
            if name == 'FAIL': return answer(7, 'Procedure failed')
            if name == 'BADSIZE': return answer(0, '', b'00000400' + b'0301' + b'X'.ljust(20) + b'abcd')
            if name == 'SHORT': return b'0000 too short'
            if name == 'BADHEX': return answer(0, '', b'0000000G' + b'0301' + b'X'.ljust(20) + b'abcd')
            return answer(1, 'Unknown procedure ' + name)
        return super().run(code, p)
