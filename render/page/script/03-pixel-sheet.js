// A sheet of device pixels the size of the canvas, for marks of about a pixel: dots as squares of
// whole pixels, chain lines one pixel wide. Setting them straight into an image takes a few
// milliseconds on a map of a hundred thousand nodes, where filling and stroking paths of as many
// parts takes a hundred or more. Pixels not set stay transparent; the sheet is drawn over the canvas.
const sheetStore = { image: null, canvas: document.createElement('canvas') }; // kept between drawings

// An image word (bytes red, green, blue, alpha in memory order) for [r, g, b] and an alpha 0..255.
const pixelWord = ([r, g, b], alpha) => ((alpha << 24) | (b << 16) | (g << 8) | r) >>> 0;
const rgbOfHex = (hex) => [parseInt(hex.slice(1, 3), 16), parseInt(hex.slice(3, 5), 16), parseInt(hex.slice(5, 7), 16)];

class PixelSheet {
  constructor(pixelsWide, pixelsHigh, dotRadius) {
    if (!sheetStore.image || sheetStore.image.width !== pixelsWide || sheetStore.image.height !== pixelsHigh) {
      sheetStore.image = new ImageData(pixelsWide, pixelsHigh);
      sheetStore.canvas.width = pixelsWide;
      sheetStore.canvas.height = pixelsHigh;
    }
    this.wide = pixelsWide;
    this.high = pixelsHigh;
    this.pixels = new Uint32Array(sheetStore.image.data.buffer);
    this.pixels.fill(0);
    this.side = Math.max(1, Math.round(2 * dotRadius * ratio)); // a dot's side in device pixels
    // Map to device pixels, the centre of pixel (i, j) at (i, j): scale, then offsets.
    this.scale = state.zoom * ratio;
    this.offsetX = (width / 2 - state.cx * state.zoom) * ratio - 0.5;
    this.offsetY = (height / 2 - state.cy * state.zoom) * ratio - 0.5;
  }

  // A dot centred on the map point (x, y).
  dot(x, y, word) {
    const half = this.side / 2 - 0.5;
    const left = Math.round(x * this.scale + this.offsetX - half), top = Math.round(y * this.scale + this.offsetY - half);
    if (this.side === 1) {
      if (left >= 0 && left < this.wide && top >= 0 && top < this.high) this.pixels[top * this.wide + left] = word;
      return;
    }
    const x0 = Math.max(0, left), x1 = Math.min(this.wide, left + this.side);
    for (let row = Math.max(0, top); row < Math.min(this.high, top + this.side); row++) {
      for (let at = row * this.wide + x0, end = row * this.wide + x1; at < end; at++) this.pixels[at] = word;
    }
  }

  // A line one device pixel wide from device point (x0, y0) to (x1, y1), without its first pixel (the
  // last one of the line before, or set with point()).
  line(x0, y0, x1, y1, word) {
    const steps = Math.ceil(Math.max(Math.abs(x1 - x0), Math.abs(y1 - y0)));
    const sx = (x1 - x0) / steps, sy = (y1 - y0) / steps;
    for (let s = 1; s <= steps; s++) this.point(x0 + sx * s, y0 + sy * s, word);
  }

  // The pixel holding device point (x, y).
  point(x, y, word) {
    const px = Math.round(x), py = Math.round(y);
    if (px >= 0 && px < this.wide && py >= 0 && py < this.high) this.pixels[py * this.wide + px] = word;
  }

  // Draws the pixels set over what `g` holds (putImageData would replace it).
  drawOn(g) {
    sheetStore.canvas.getContext('2d').putImageData(sheetStore.image, 0, 0);
    g.save();
    g.setTransform(1, 0, 0, 1, 0, 0);
    g.drawImage(sheetStore.canvas, 0, 0);
    g.restore();
  }
}
