"""The frame job done by a general Python image library, for the benchmark.

    python3 peer_frame.py pillow|opencv INPUT.bmp MASK.pbm OUTPUT.bmp

MASK is the frame as a PBM file (black outside the circle), written by
bmpbench_generate, so every tool cuts exactly the same circle. Each library
keeps the input's depth where it can write it.
"""
import sys


def frame_with_pillow(source, mask_path, target):
    from PIL import Image

    image = Image.open(source)
    image.load()
    inside = Image.open(mask_path).convert("1")  # PBM black (outside) reads as 0
    if image.mode == "P":
        palette = image.getpalette()
        colours = [tuple(palette[i:i + 3]) for i in range(0, len(palette), 3)]
        black = colours.index((0, 0, 0)) if (0, 0, 0) in colours else 0
        framed = Image.new("P", image.size, black)
        framed.putpalette(palette)
    else:
        if image.mode == "RGB" and _bit_count(source) == 32:
            image = image.convert("RGBA")  # written back as 32 bits
        framed = Image.new(image.mode, image.size, 0)
    framed.paste(image, (0, 0), inside)
    if image.mode == "RGBA":
        framed.putalpha(image.getchannel("A"))
    framed.save(target, format="BMP")


def frame_with_opencv(source, mask_path, target):
    import cv2

    image = cv2.imread(source, cv2.IMREAD_UNCHANGED)
    inside = cv2.imread(mask_path, cv2.IMREAD_GRAYSCALE)
    outside = inside == 0
    if image.ndim == 2:
        image[outside] = 0
    else:
        image[outside, :3] = 0
    if not cv2.imwrite(target, image):
        raise SystemExit("cannot write " + target)


def _bit_count(path):
    with open(path, "rb") as file:
        header = file.read(30)
    return int.from_bytes(header[28:30], "little")


def main():
    if len(sys.argv) != 5 or sys.argv[1] not in ("pillow", "opencv"):
        raise SystemExit(__doc__)
    tool, source, mask_path, target = sys.argv[1:]
    if tool == "pillow":
        frame_with_pillow(source, mask_path, target)
    else:
        frame_with_opencv(source, mask_path, target)


if __name__ == "__main__":
    main()
