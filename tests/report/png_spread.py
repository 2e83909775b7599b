# Prints the share (per mille) of a PNG's pixel bytes that differ from the same byte of the pixel
# to their left, read from the decompressed rows (filter None: compared directly, filter Sub:
# a non-zero byte is a difference; other filters are taken as differing where non-zero, which can
# only count more). A page of one colour gives 0.
import struct
import sys
import zlib

data = open(sys.argv[1], "rb").read()
if data[:8] != b"\x89PNG\r\n\x1a\n":
    sys.exit("not a PNG")
pos, idat, width, height, bpp = 8, b"", 0, 0, 0
while pos < len(data):
    length, kind = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + length]
    if kind == b"IHDR":
        width, height, depth, colour = struct.unpack(">IIBB", body[:10])
        bpp = {0: 1, 2: 3, 4: 2, 6: 4}[colour] * depth // 8
    elif kind == b"IDAT":
        idat += body
    pos += 12 + length
raw = zlib.decompress(idat)
stride = width * bpp + 1
differing = 0
for y in range(height):
    row = raw[y * stride:(y + 1) * stride]
    kind, pixels = row[0], row[1 + bpp:]
    if kind == 0:
        differing += sum(1 for a, b in zip(row[1 + bpp:], row[1:]) if a != b)
    else:
        differing += len(pixels) - pixels.count(0)
print(differing * 1000 // max(1, height * width * bpp))
