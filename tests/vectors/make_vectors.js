#!/usr/bin/env node
// Builds the stored-byte test vectors of the value decoders with the
// encoders of Oracle's own JavaScript driver (thin mode), which write
// NUMBER, DATE, TIMESTAMP and BINARY_FLOAT/DOUBLE values byte for byte as
// the database stores them. Each vector holds the stored bytes and the value
// the script handed to the encoder; the C++ tests compare decoder text with
// the text of that value. Deterministic: a rerun writes the same files.
//
//   node tests/vectors/make_vectors.js [scratch-folder]
//
// installs oracledb@6 into the scratch folder (default /tmp/bex-oracledb,
// outside the repository) unless it is already there.
'use strict';
process.env.TZ = 'UTC';  // DATE and TIMESTAMP encode local time fields

const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');

const scratch = path.resolve(process.argv[2] || '/tmp/bex-oracledb');
const pkgDir = path.join(scratch, 'node_modules', 'oracledb');
if (!fs.existsSync(path.join(pkgDir, 'package.json'))) {
  fs.mkdirSync(scratch, { recursive: true });
  execFileSync('npm', ['install', '--prefix', scratch, 'oracledb@6', '--ignore-scripts', '--no-audit',
    '--no-fund'], { stdio: 'inherit' });
}
const version = require(path.join(pkgDir, 'package.json')).version;
const { GrowableBuffer } = require(path.join(pkgDir, 'lib/impl/datahandlers/buffer.js'));
const types = require(path.join(pkgDir, 'lib/types.js'));
const outDir = __dirname;

// ---- deterministic random numbers (mulberry32) ----
let seed = 0x5EED1234;
function rand() {
  seed = (seed + 0x6D2B79F5) | 0;
  let t = seed;
  t = Math.imul(t ^ (t >>> 15), t | 1);
  t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
  return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
}
const randInt = (lo, hi) => lo + Math.floor(rand() * (hi - lo + 1));
const pick = (a) => a[randInt(0, a.length - 1)];
const hex = (buf) => buf.toString('hex').toUpperCase();

function header(what) {
  return `# ${what}\n# Written by tests/vectors/make_vectors.js with the encoders of oracledb ${version};` +
    ' do not edit.\n';
}

// ---------------------------------------------------------------- NUMBER
// Stored bytes of a decimal string, or null when the driver cannot encode
// it or the database could not store it (more than 20 base-100 digits).
function encodeNumber(s) {
  const b = new GrowableBuffer();
  try {
    b.writeOracleNumber(s);
  } catch (e) {
    return null;
  }
  const bytes = b.buf.subarray(1, b.pos);  // after the driver's length byte
  const negative = bytes[0] < 0x80;
  const digitBytes = bytes.length - 1 - (negative && bytes[bytes.length - 1] === 102 ? 1 : 0);
  return digitBytes <= 20 ? Buffer.from(bytes) : null;
}

// value = sign digits x 10^k, written plain or in e-notation.
function numberString(neg, digits, k, form) {
  let s;
  if (form === 'e') {
    s = digits + 'e' + k;
  } else if (form === 'sci') {
    s = digits[0] + (digits.length > 1 ? '.' + digits.slice(1) : '') + 'e' + (k + digits.length - 1);
  } else if (k >= 0) {
    s = digits + '0'.repeat(k);
  } else if (-k < digits.length) {
    s = digits.slice(0, digits.length + k) + '.' + digits.slice(digits.length + k);
  } else {
    s = '0.' + '0'.repeat(-k - digits.length) + digits;
  }
  return (neg ? '-' : '') + s;
}

function randomDigits(n) {
  let d = String(randInt(1, 9));
  for (let i = 1; i < n; i++) d += String(randInt(0, 9));
  return d;
}

function makeNumbers() {
  const rows = new Map();
  const add = (s) => {
    const b = encodeNumber(s);
    if (b && !rows.has(hex(b))) rows.set(hex(b), s);
  };
  ['0', '1', '-1', '1.5', '-1.5', '0.5', '0.05', '0.0012', '-123', '100', '10', '0.1', '0.01',
   '123.456', '-0.0001', '99', '-99', '101', '1000000', '38.73', '-0.1828', '1.7320508', '7369',
   '0.000000000000000000000000000000000000001', '1.05', '1.0501', '-1.05', '10.1', '-10.1',
   '1.500', '000123.4500', '-0.5', '12300e-2', '1e0', '9.5', '-9.5', '0.9', '0.99', '-0.99',
  ].forEach(add);
  for (let k = -130; k <= 125; k++) {
    add('1e' + k);
    add('-1e' + k);
    add('9.9e' + k);
    add('-5e' + k);
  }
  for (let i = -1500; i <= 1500; i++) add(String(i));
  for (const n of [38, 39, 40]) {
    add('9'.repeat(n));
    add('-' + '9'.repeat(n));
    add('1' + '0'.repeat(n - 1));
    add('0.' + '9'.repeat(n));
    add('-0.' + '9'.repeat(n));
    add('9.' + '9'.repeat(n - 1) + 'e125');
    add('-9.' + '9'.repeat(n - 1) + 'e125');
    add('1.' + '2'.repeat(n - 1) + 'e-120');
  }
  const forms = ['plain', 'plain', 'e', 'sci'];
  let guard = 0;
  while (rows.size < 7000 && guard++ < 100000) {
    const n = rand() < 0.3 ? randInt(36, 40) : randInt(1, 20);
    const digits = randomDigits(n);
    const lead = rand() < 0.8 ? randInt(-40, 40) : randInt(-130, 125);  // exponent of the first digit
    add(numberString(rand() < 0.5, digits, lead - n + 1, pick(forms)));
  }
  let out = header('NUMBER: stored bytes, then the decimal value handed to writeOracleNumber');
  for (const [h, s] of rows) out += `${h}\t${s}\n`;
  fs.writeFileSync(path.join(outDir, 'number_vectors.tsv'), out);
  return rows.size;
}

// ------------------------------------------------------ DATE, TIMESTAMP
const isLeap = (y) => (y < 1583 ? y % 4 === 0 : (y % 4 === 0 && y % 100 !== 0) || y % 400 === 0);
const daysIn = (y, m) => [31, isLeap(y) ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31][m - 1];
// 1582-10-05 .. 1582-10-14 do not exist in Oracle's calendar.
const storable = (f) => !(f.y === 1582 && f.mo === 10 && f.d >= 5 && f.d <= 14);

// The driver reads the fields through Date getters; this object hands it
// exactly the chosen fields (any calendar day, any nanosecond fraction).
function fieldDate(f) {
  const ms = f.ns / 1e6;
  return {
    getFullYear: () => f.y, getUTCFullYear: () => f.y,
    getMonth: () => f.mo - 1, getUTCMonth: () => f.mo - 1,
    getDate: () => f.d, getUTCDate: () => f.d,
    getHours: () => f.h, getUTCHours: () => f.h,
    getMinutes: () => f.mi, getUTCMinutes: () => f.mi,
    getSeconds: () => f.s, getUTCSeconds: () => f.s,
    getUTCMilliseconds: () => ms,
  };
}

function realDate(f) {
  const d = new Date(Date.UTC(2000, f.mo - 1, f.d, f.h, f.mi, f.s, f.ns / 1e6));
  d.setUTCFullYear(f.y);
  return d;
}

const dateTypes = [['DATE', types.DB_TYPE_DATE], ['TIMESTAMP', types.DB_TYPE_TIMESTAMP],
  ['TIMESTAMP_TZ', types.DB_TYPE_TIMESTAMP_TZ], ['TIMESTAMP_LTZ', types.DB_TYPE_TIMESTAMP_LTZ]];

function encodeDate(dateObj, type) {
  const b = new GrowableBuffer();
  b.writeOracleDate(dateObj, type, false);
  return Buffer.from(b.buf.subarray(0, b.pos));
}

function makeDates() {
  if (new Date(0).getHours() !== 0) throw new Error('TZ=UTC did not take effect');
  const rows = [];
  const seen = new Set();
  let skipped = 0;
  const add = (typeName, type, f, useReal) => {
    if (!storable(f)) return;
    if (typeName === 'DATE') f = { ...f, ns: 0 };
    if (useReal && (f.ns % 1e6 !== 0)) f = { ...f, ns: Math.floor(f.ns / 1e6) * 1e6 };
    const b = encodeDate(useReal ? realDate(f) : fieldDate(f), type);
    // The driver takes the fraction as milliseconds; keep only fractions
    // that reach the bytes exactly.
    if (b.length > 7 && b.readUInt32BE(7) !== f.ns) {
      skipped++;
      return;
    }
    const key = typeName + hex(b);
    if (seen.has(key)) return;
    seen.add(key);
    rows.push(`${typeName}\t${hex(b)}\t${f.y} ${f.mo} ${f.d} ${f.h} ${f.mi} ${f.s} ${f.ns}`);
  };
  const fixed = [
    { y: 1, mo: 1, d: 1, h: 0, mi: 0, s: 0, ns: 0 },
    { y: 9999, mo: 12, d: 31, h: 23, mi: 59, s: 59, ns: 999000000 },
    { y: 9999, mo: 12, d: 31, h: 23, mi: 59, s: 59, ns: 999999999 },
    { y: 2024, mo: 12, d: 31, h: 23, mi: 59, s: 59, ns: 123456789 },
    { y: 2000, mo: 1, d: 1, h: 0, mi: 0, s: 0, ns: 0 },
    { y: 1582, mo: 10, d: 4, h: 12, mi: 0, s: 0, ns: 500000000 },
    { y: 1582, mo: 10, d: 15, h: 12, mi: 0, s: 0, ns: 1000 },
    { y: 1970, mo: 1, d: 1, h: 1, mi: 2, s: 3, ns: 456789000 },
  ];
  for (const y of [4, 100, 400, 1200, 1500, 1600, 1900, 2000, 2004, 2024, 2100, 2400, 9996]) {
    if (isLeap(y)) fixed.push({ y, mo: 2, d: 29, h: 23, mi: 59, s: 59, ns: 1000000 });
    fixed.push({ y, mo: 2, d: 28, h: 0, mi: 0, s: 1, ns: 0 });
    fixed.push({ y, mo: 3, d: 1, h: 0, mi: 0, s: 0, ns: 1 });
  }
  for (const f of fixed) for (const [n, t] of dateTypes) add(n, t, f, false);
  while (rows.length < 1600) {
    const y = rand() < 0.5 ? randInt(1, 9999) : randInt(1900, 2100);
    const mo = randInt(1, 12);
    const f = { y, mo, d: randInt(1, daysIn(y, mo)), h: randInt(0, 23), mi: randInt(0, 59),
      s: randInt(0, 59), ns: pick([0, randInt(0, 999) * 1e6, randInt(0, 999999) * 1000,
        randInt(0, 999999999)]) };
    const [n, t] = pick(dateTypes);
    // Real Date objects only for Gregorian days a JavaScript Date can hold.
    add(n, t, f, y > 1582 && rand() < 0.3);
  }
  let out = header('DATE and TIMESTAMP: type, stored bytes, then year month day hour minute second nanoseconds');
  out += rows.join('\n') + '\n';
  fs.writeFileSync(path.join(outDir, 'datetime_vectors.tsv'), out);
  return [rows.length, skipped];
}

// ------------------------------------------- BINARY_FLOAT, BINARY_DOUBLE
// The exact decimal value of a double ("-0", "inf", "-inf", "nan" aside).
function exactDecimal(x) {
  if (Number.isNaN(x)) return 'nan';
  if (x === Infinity) return 'inf';
  if (x === -Infinity) return '-inf';
  if (x === 0) return Object.is(x, -0) ? '-0' : '0';
  const dv = new DataView(new ArrayBuffer(8));
  dv.setFloat64(0, x);
  const bits = dv.getBigUint64(0);
  const sign = bits >> 63n ? '-' : '';
  const expBits = Number((bits >> 52n) & 0x7FFn);
  const frac = bits & ((1n << 52n) - 1n);
  const m = expBits === 0 ? frac : frac | (1n << 52n);
  const e2 = expBits === 0 ? -1074 : expBits - 1075;
  if (e2 >= 0) return sign + (m << BigInt(e2)).toString();
  const scale = -e2;
  let digits = (m * 5n ** BigInt(scale)).toString().padStart(scale + 1, '0');
  let s = digits.slice(0, digits.length - scale) + '.' + digits.slice(digits.length - scale);
  s = s.replace(/0+$/, '').replace(/\.$/, '');
  return sign + s;
}

function randomDoubleBits() {
  const dv = new DataView(new ArrayBuffer(8));
  dv.setUint32(0, Math.floor(rand() * 4294967296));
  dv.setUint32(4, Math.floor(rand() * 4294967296));
  return dv.getFloat64(0);
}

function makeFloats() {
  const rows = [];
  const seen = new Set();
  const add = (kind, x) => {
    const b = new GrowableBuffer();
    if (kind === 'BINARY_FLOAT') b.writeBinaryFloat(x); else b.writeBinaryDouble(x);
    const bytes = Buffer.from(b.buf.subarray(0, b.pos));
    const key = kind + hex(bytes);
    if (seen.has(key)) return;
    seen.add(key);
    const value = kind === 'BINARY_FLOAT' ? Math.fround(x) : x;
    rows.push(`${kind}\t${hex(bytes)}\t${exactDecimal(value)}`);
  };
  const common = [0, -0, 1, -1, 0.5, -0.5, 0.1, -0.1, 1.5, 123.456, -123.456, 1 / 3, 2 / 3,
    1e-7, 4.9999999e-7, 5e-7, 5.0000001e-7, -5e-7, 1 / 128, 3 / 128, -5 / 128, 0.0000005,
    1e6, 1e15, -1e15, 2 ** 24, 2 ** 53, 2 ** 53 + 2, 1e21, 1e22, 1e30, -1e30,
    Infinity, -Infinity, NaN, 1.7320508075688772, 3.141592653589793, 2.718281828459045];
  for (const x of common) {
    add('BINARY_DOUBLE', x);
    add('BINARY_FLOAT', x);
  }
  for (const x of [5e-324, -5e-324, 2.225073858507201e-308, 2.2250738585072014e-308,
    1.7976931348623157e308, -1.7976931348623157e308, 1e-300, 1e300, 4.4e-323])
    add('BINARY_DOUBLE', x);
  for (const x of [1.401298464324817e-45, -1.401298464324817e-45, 1.1754942106924411e-38,
    1.1754943508222875e-38, 3.4028234663852886e38, -3.4028234663852886e38, 1e-40, 3e38])
    add('BINARY_FLOAT', x);
  for (let i = 0; i < 120; i++) {
    let x = randomDoubleBits();
    if (Number.isNaN(x)) continue;
    add('BINARY_DOUBLE', x);
    const f = Math.fround(x);
    if (Number.isFinite(f)) add('BINARY_FLOAT', f);
  }
  for (let i = 0; i < 600; i++) {
    const x = (rand() < 0.5 ? -1 : 1) * rand() * 10 ** randInt(-12, 22);
    add(i % 2 ? 'BINARY_DOUBLE' : 'BINARY_FLOAT', x);
  }
  let out = header('BINARY_FLOAT and BINARY_DOUBLE: type, stored bytes, then the exact decimal value');
  out += rows.join('\n') + '\n';
  fs.writeFileSync(path.join(outDir, 'float_vectors.tsv'), out);
  return rows.length;
}

const numbers = makeNumbers();
const [dates, skipped] = makeDates();
const floats = makeFloats();
console.log(`oracledb ${version}: ${numbers} NUMBER, ${dates} DATE/TIMESTAMP` +
  ` (${skipped} fractions the driver could not carry left out), ${floats} float vectors`);
