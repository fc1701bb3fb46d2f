#include "content/jpeg_writer.h"

#include <csetjmp>
#include <cstdio>
#include <memory>

// The library's header needs <cstdio> first.
#include <jpeglib.h>

namespace {

constexpr std::size_t kChunk = 4096;

// Compresses into a growing vector. The library sees only the first member.
struct VectorDestination {
  jpeg_destination_mgr pub;
  std::vector<std::uint8_t>* out;
};

VectorDestination* destinationOf(j_compress_ptr cinfo) { return reinterpret_cast<VectorDestination*>(cinfo->dest); }

void initDestination(j_compress_ptr cinfo) {
  VectorDestination* d = destinationOf(cinfo);
  d->out->resize(kChunk);
  d->pub.next_output_byte = d->out->data();
  d->pub.free_in_buffer = kChunk;
}

boolean emptyOutputBuffer(j_compress_ptr cinfo) {
  // The library calls this only when the whole buffer is full.
  VectorDestination* d = destinationOf(cinfo);
  const std::size_t used = d->out->size();
  d->out->resize(used + kChunk);
  d->pub.next_output_byte = d->out->data() + used;
  d->pub.free_in_buffer = kChunk;
  return TRUE;
}

void termDestination(j_compress_ptr cinfo) {
  VectorDestination* d = destinationOf(cinfo);
  d->out->resize(d->out->size() - d->pub.free_in_buffer);
}

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void errorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }

struct Encoder {
  jpeg_compress_struct cinfo;
  ErrorManager error;
  VectorDestination destination;
  int width, height, components;
  const std::uint8_t* samples;  // components bytes per pixel, top row first
  JpegWriteOptions options;
};

// Nothing with a destructor lives between the setjmp and the library calls
// that may jump back.
bool encode(Encoder& e) {
  jpeg_compress_struct* cinfo = &e.cinfo;
  if (setjmp(e.error.jump)) return false;
  jpeg_create_compress(cinfo);
  e.destination.pub.init_destination = initDestination;
  e.destination.pub.empty_output_buffer = emptyOutputBuffer;
  e.destination.pub.term_destination = termDestination;
  cinfo->dest = &e.destination.pub;
  cinfo->image_width = static_cast<JDIMENSION>(e.width);
  cinfo->image_height = static_cast<JDIMENSION>(e.height);
  cinfo->input_components = e.components;
  cinfo->in_color_space = e.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, e.options.quality, TRUE);
  if (e.options.progressive) jpeg_simple_progression(cinfo);
  jpeg_start_compress(cinfo, TRUE);
  while (cinfo->next_scanline < cinfo->image_height) {
    JSAMPROW row =
        const_cast<JSAMPLE*>(e.samples) + static_cast<std::size_t>(cinfo->next_scanline) * e.width * e.components;
    jpeg_write_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_compress(cinfo);
  return true;
}

std::vector<std::uint8_t> compress(int width, int height, int components, const std::uint8_t* samples,
                                   JpegWriteOptions options) {
  std::vector<std::uint8_t> out;
  const auto e = std::make_unique<Encoder>();
  e->cinfo.err = jpeg_std_error(&e->error.pub);
  e->error.pub.error_exit = errorExit;
  e->destination.out = &out;
  e->width = width;
  e->height = height;
  e->components = components;
  e->samples = samples;
  e->options = options;
  if (options.quality < 1) e->options.quality = 1;
  if (options.quality > 100) e->options.quality = 100;
  const bool done = encode(*e);
  jpeg_destroy_compress(&e->cinfo);
  if (!done) out.clear();
  return out;
}

bool validSize(int width, int height, std::size_t count) {
  return width > 0 && height > 0 && width <= 65500 && height <= 65500 &&
         count == static_cast<std::size_t>(width) * height;
}

}  // namespace

std::vector<std::uint8_t> writeJpegRgb(int width, int height, const std::vector<std::uint32_t>& pixels,
                                       JpegWriteOptions options) {
  if (!validSize(width, height, pixels.size())) return {};
  std::vector<std::uint8_t> samples;
  samples.reserve(pixels.size() * 3);
  for (std::uint32_t pixel : pixels) {
    samples.push_back(static_cast<std::uint8_t>(pixel >> 16));
    samples.push_back(static_cast<std::uint8_t>(pixel >> 8));
    samples.push_back(static_cast<std::uint8_t>(pixel));
  }
  return compress(width, height, 3, samples.data(), options);
}

std::vector<std::uint8_t> writeJpegGrey(int width, int height, const std::vector<std::uint8_t>& values,
                                        JpegWriteOptions options) {
  if (!validSize(width, height, values.size())) return {};
  return compress(width, height, 1, values.data(), options);
}
