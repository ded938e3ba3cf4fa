// Reads and writes the PNG pictures of the browser check: screenshots come in as
// PNG, are compared pixel by pixel, and the difference picture goes out as PNG.
// Only what screenshots use is read: 8 bits per sample, no interlacing, grey,
// grey with alpha, RGB, RGBA or a palette.
import zlib from 'node:zlib';

const SIGNATURE = Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
const CHANNELS = { 0: 1, 2: 3, 3: 1, 4: 2, 6: 4 };

const CRC_TABLE = (() => {
  const table = new Int32Array(256);
  for (let n = 0; n < 256; n++) {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    table[n] = c;
  }
  return table;
})();

function crc32(bytes) {
  let c = -1;
  for (let i = 0; i < bytes.length; i++) c = CRC_TABLE[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
  return (c ^ -1) >>> 0;
}

function paeth(a, b, c) {
  const p = a + b - c;
  const pa = Math.abs(p - a);
  const pb = Math.abs(p - b);
  const pc = Math.abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Decodes a PNG into { width, height, data } with data as RGBA bytes, row by row.
export function decodePng(buffer) {
  if (!buffer.subarray(0, 8).equals(SIGNATURE)) throw new Error('not a PNG picture');
  let at = 8;
  let header = null;
  let palette = null;
  let transparency = null;
  const compressed = [];
  while (at + 8 <= buffer.length) {
    const length = buffer.readUInt32BE(at);
    const type = buffer.toString('latin1', at + 4, at + 8);
    const body = buffer.subarray(at + 8, at + 8 + length);
    at += 12 + length;
    if (type === 'IHDR') {
      header = {
        width: body.readUInt32BE(0),
        height: body.readUInt32BE(4),
        depth: body[8],
        colour: body[9],
        interlace: body[12],
      };
    } else if (type === 'PLTE') palette = body;
    else if (type === 'tRNS') transparency = body;
    else if (type === 'IDAT') compressed.push(body);
    else if (type === 'IEND') break;
  }
  if (!header) throw new Error('PNG picture without a header');
  const { width, height, depth, colour, interlace } = header;
  const channels = CHANNELS[colour];
  if (depth !== 8 || !channels || interlace !== 0) {
    throw new Error(`PNG picture of a kind not read here (depth ${depth}, colour type ${colour}, interlace ${interlace})`);
  }
  const raw = zlib.inflateSync(Buffer.concat(compressed));
  const stride = width * channels;
  if (raw.length < height * (stride + 1)) throw new Error('PNG picture data ends early');
  const samples = Buffer.alloc(height * stride);
  for (let y = 0; y < height; y++) {
    const filter = raw[y * (stride + 1)];
    const source = y * (stride + 1) + 1;
    const row = y * stride;
    const above = row - stride;
    const first = y === 0;
    // One loop per filter: a picture of a tall page has millions of samples.
    if (filter === 0) raw.copy(samples, row, source, source + stride);
    else if (filter === 1) {
      for (let x = 0; x < stride; x++) samples[row + x] = raw[source + x] + (x >= channels ? samples[row + x - channels] : 0);
    } else if (filter === 2) {
      for (let x = 0; x < stride; x++) samples[row + x] = raw[source + x] + (first ? 0 : samples[above + x]);
    } else if (filter === 3) {
      for (let x = 0; x < stride; x++) {
        const a = x >= channels ? samples[row + x - channels] : 0;
        samples[row + x] = raw[source + x] + ((a + (first ? 0 : samples[above + x])) >> 1);
      }
    } else if (filter === 4) {
      for (let x = 0; x < stride; x++) {
        const a = x >= channels ? samples[row + x - channels] : 0;
        const b = first ? 0 : samples[above + x];
        const c = x >= channels && !first ? samples[above + x - channels] : 0;
        samples[row + x] = raw[source + x] + paeth(a, b, c);
      }
    } else throw new Error(`PNG row filter ${filter} unknown`);
  }
  const data = Buffer.alloc(width * height * 4);
  for (let i = 0, o = 0; i < samples.length; i += channels, o += 4) {
    if (colour === 6) samples.copy(data, o, i, i + 4);
    else if (colour === 2) {
      data[o] = samples[i];
      data[o + 1] = samples[i + 1];
      data[o + 2] = samples[i + 2];
      data[o + 3] = 255;
    } else if (colour === 3) {
      const index = samples[i];
      palette.copy(data, o, index * 3, index * 3 + 3);
      data[o + 3] = transparency && index < transparency.length ? transparency[index] : 255;
    } else {
      data[o] = data[o + 1] = data[o + 2] = samples[i];
      data[o + 3] = colour === 4 ? samples[i + 1] : 255;
    }
  }
  return { width, height, data };
}

function chunk(type, body) {
  const out = Buffer.alloc(12 + body.length);
  out.writeUInt32BE(body.length, 0);
  out.write(type, 4, 'latin1');
  body.copy(out, 8);
  out.writeUInt32BE(crc32(out.subarray(4, 8 + body.length)), 8 + body.length);
  return out;
}

// Encodes { width, height, data } (RGBA bytes) as a PNG.
export function encodePng({ width, height, data }) {
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header[8] = 8;
  header[9] = 6;
  const stride = width * 4;
  const raw = Buffer.alloc(height * (stride + 1));
  for (let y = 0; y < height; y++) data.copy(raw, y * (stride + 1) + 1, y * stride, (y + 1) * stride);
  return Buffer.concat([
    SIGNATURE,
    chunk('IHDR', header),
    chunk('IDAT', zlib.deflateSync(raw, { level: 6 })),
    chunk('IEND', Buffer.alloc(0)),
  ]);
}

// Compares two pictures pixel by pixel over the area that either covers; a pixel
// that only one of them has counts as changed. Returns null when they are equal,
// otherwise { count, left, top, right, bottom } (inclusive bounds) and `picture`,
// the difference picture: changed pixels red, the others the original's, faded.
export function diffPictures(original, converted) {
  if (original.width === converted.width && original.height === converted.height && original.data.equals(converted.data)) {
    return null;
  }
  const width = Math.max(original.width, converted.width);
  const height = Math.max(original.height, converted.height);
  const picture = { width, height, data: Buffer.alloc(width * height * 4) };
  let count = 0;
  let left = width;
  let top = height;
  let right = -1;
  let bottom = -1;
  const out = picture.data;
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      const o = (y * width + x) * 4;
      const inA = x < original.width && y < original.height;
      const inB = x < converted.width && y < converted.height;
      const a = inA ? (y * original.width + x) * 4 : -1;
      const b = inB ? (y * converted.width + x) * 4 : -1;
      const same =
        inA &&
        inB &&
        original.data[a] === converted.data[b] &&
        original.data[a + 1] === converted.data[b + 1] &&
        original.data[a + 2] === converted.data[b + 2] &&
        original.data[a + 3] === converted.data[b + 3];
      if (same) {
        for (let k = 0; k < 3; k++) out[o + k] = 255 - ((255 - original.data[a + k]) >> 2);
        out[o + 3] = 255;
        continue;
      }
      count++;
      if (x < left) left = x;
      if (x > right) right = x;
      if (y < top) top = y;
      if (y > bottom) bottom = y;
      out[o] = 255;
      out[o + 1] = 0;
      out[o + 2] = 0;
      out[o + 3] = 255;
    }
  }
  return count === 0 ? null : { count, left, top, right, bottom, picture };
}
