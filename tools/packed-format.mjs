// Lays out a packed page from its parts, byte for byte as the packer writes it.
// Tests use it to build packed pages by hand (the code table, the words and the
// coded text chosen by the test) and then run or open them; it decides nothing
// about coding itself.

export const PACKED_MARKER = '<!--Quillbox-->';
export const SCRIPT_START_TAG = '<SCRIPT LANGUAGE="JavaScript">';

// The decoder line that follows the strings. `outputChunk` is the number of
// decoding steps between two document.write calls; `percentDivisor` is the coded
// length / 100 that turns the step number into the percentage shown.
export function formatDecoder(outputChunk, percentDivisor, unpackStatus = true) {
  return (
    'function a(n){this.length=n;return this};function d(s,c,t,l){u=0;k=0;o="";' +
    'r=new a(t.length*2);r[0]=0;for (n=0;n<t.length*2;n++){r[n+1]=s.indexOf("~",r[n])+1;}' +
    'for (i=0;i<c.length;i++){w=c.charAt(i);f=0;z=t.indexOf(w);if (z==1)u=1-u;else if (z>-1 && z<l){' +
    'if (z==0) z=t.indexOf(w=c.charAt(++i))+l;o+=s.substring(r[z],r[z+1]-1)}else{' +
    "if (w>='A' && w <='Z') f=1;if (u==1 && f==0) o+=w.toUpperCase();else if (u==0 && f==1) o+=w.toLowerCase();" +
    `else o+=w;if (f==1) o+=" "};k++;if (k%${outputChunk}==0){document.write(o);o="";` +
    (unpackStatus ? `self.status=Math.ceil(i/${percentDivisor})+"% unpacking";` : '') +
    '}};document.write(o);self.status="Quillboxed";}\n'
  );
}

// Builds a whole packed page. `cLines` are the pieces of the coded text as the
// packer breaks them (joined by a closing quote, `+`, a line feed and an opening
// quote); `words` are the dictionary words in ranked order; `l` is the number of
// code characters passed to the decoder.
export function formatPackedPage({
  header = '',
  head = '',
  t,
  words = [],
  cLines,
  l,
  outputChunk = 300,
  unpackStatus = true,
}) {
  const coded = cLines.join('"+\n"');
  const percentDivisor = Math.floor(coded.length / 100);
  return (
    header +
    PACKED_MARKER +
    head +
    SCRIPT_START_TAG +
    '\n' +
    `t="${t}";\n` +
    `s="u~u~"+'"'+"` +
    words.map((word) => '~' + word).join('') +
    '~";\n' +
    `c="${coded}";\n` +
    formatDecoder(outputChunk, percentDivisor, unpackStatus) +
    `d(s,c,t,${l});` +
    '\n</SCRIPT>' +
    '\n</HTML>'
  );
}

// The one-line page `<P>Hi there Hi there Bob "x" yy yy</P>` worked through the
// packer by hand: three words of equal count, l = 3, every word on a two-character
// code. Byte values 1 to 4 are the code characters.
export const WORKED_EXAMPLE = {
  original: '<P>Hi there Hi there Bob "x" yy yy</P>\n',
  decoded: '<P>Hi there Hi there Bob "x" yy yy </P> ',
  t: '\x01\x02\x03\x04',
  words: ['there ', 'Hi ', 'yy '],
  cLines: [
    '<\x02p>\x02' + '\x01\x02' + '\x01\x01' + '\x01\x02' + '\x01\x01' +
      '\x02b\x02ob ' + '\x03x\x03 ' + '\x01\x03' + '\x01\x03' + '</\x02p>\x02 ',
  ],
  l: 3,
};
