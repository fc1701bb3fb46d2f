// JPEG pictures through the JPEG library's version-6b interface, reading
// from our File through a source manager of our own. The library ends a
// fatal error by calling the error exit, which must not return: ours reports
// the error and jumps back to the decoder, which fails the load.

#include <csetjmp>
#include <cstdio>
#include <memory>

#include "foundation/file_data.h"
#include "foundation/report.h"

// The library's header needs <cstdio> first.
#include <jerror.h>
#include <jpeglib.h>

namespace {

constexpr std::size_t kInputBufferSize = 4096;

// The most the library may hold while decoding one picture. A progressive
// picture keeps every coefficient until its last scan, 2 bytes a sample, so
// a header claiming 8192 x 8192 would take 200 MB before a single pixel is
// known. With the picture itself (4 bytes a pixel, at most kMaxImagePixels)
// a whole decode stays within 64 MB: this admits a progressive colour
// picture of the largest size when its colour is sampled at half the
// resolution, as encoders do, and up to 2048 x 2048 when it is not. The
// library's own bound lies above it by room for its other buffers, so that
// what passes our check never runs into the library's.
constexpr long kCoefficientMemoryLimit = 24L << 20;
constexpr long kLibraryMemoryLimit = kCoefficientMemoryLimit + (16L << 20);

// Every 8 x 8 block of a component takes at least one bit of coded data
// (its DC code in a progressive picture's first scan; a sequential scan
// spends two). A header that claims more blocks than its data holds bits is
// a truncated or made-up file, refused before any picture memory is taken.
constexpr long long kBlocksPerDataByte = 8;

// Allocated once per decompression object from the library's permanent pool;
// the library sees only the first member.
struct FileSourceManager {
  jpeg_source_mgr pub;
  File* file;
  JOCTET buffer[kInputBufferSize];
  boolean startOfFile;
};

FileSourceManager* sourceOf(j_decompress_ptr cinfo) { return reinterpret_cast<FileSourceManager*>(cinfo->src); }

void initSource(j_decompress_ptr cinfo) { sourceOf(cinfo)->startOfFile = TRUE; }

boolean fillInputBuffer(j_decompress_ptr cinfo) {
  FileSourceManager* source = sourceOf(cinfo);
  int count = source->file->read(source->buffer, static_cast<int>(kInputBufferSize));
  if (count <= 0) {
    if (source->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    // A file that ends early still decodes: warn and end the picture there.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    source->buffer[0] = 0xFF;
    source->buffer[1] = JPEG_EOI;
    count = 2;
  }
  source->pub.next_input_byte = source->buffer;
  source->pub.bytes_in_buffer = static_cast<std::size_t>(count);
  source->startOfFile = FALSE;
  return TRUE;
}

void skipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = cinfo->src;
  while (count > static_cast<long>(source->bytes_in_buffer)) {
    count -= static_cast<long>(source->bytes_in_buffer);
    fillInputBuffer(cinfo);
  }
  source->next_input_byte += count;
  source->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void termSource(j_decompress_ptr) {}

void attachFileSource(j_decompress_ptr cinfo, File& file) {
  auto* source = static_cast<FileSourceManager*>(
      (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(FileSourceManager)));
  source->pub.init_source = initSource;
  source->pub.fill_input_buffer = fillInputBuffer;
  source->pub.skip_input_data = skipInputData;
  source->pub.resync_to_restart = jpeg_resync_to_restart;
  source->pub.term_source = termSource;
  source->pub.bytes_in_buffer = 0;
  source->pub.next_input_byte = nullptr;
  source->file = &file;
  source->startOfFile = TRUE;
  cinfo->src = &source->pub;
}

// Whether at least `wanted` bytes of entropy-coded data follow the source's
// position (just after the first scan's header), before the end-of-image
// marker or the end of the file. Marker segments, fill bytes and restart
// markers are not data. The file is put back where it was.
bool hasCodedBytes(j_decompress_ptr cinfo, File& file, long long wanted) {
  const int resume = file.tell();
  const JOCTET* buffered = cinfo->src->next_input_byte;
  std::size_t bufferedLeft = cinfo->src->bytes_in_buffer;
  JOCTET chunk[kInputBufferSize];
  int chunkAt = 0, chunkSize = 0;
  const auto next = [&]() -> int {
    if (bufferedLeft > 0) {
      --bufferedLeft;
      return *buffered++;
    }
    if (chunkAt == chunkSize) {
      chunkSize = file.read(chunk, static_cast<int>(sizeof chunk));
      chunkAt = 0;
      if (chunkSize <= 0) {
        chunkSize = 0;
        return -1;
      }
    }
    return chunk[chunkAt++];
  };
  long long coded = 0;
  bool ended = false;
  while (coded < wanted && !ended) {
    int byte = next();
    if (byte != 0xFF) {
      ended = byte < 0;
      coded += !ended;
      continue;
    }
    do byte = next();
    while (byte == 0xFF);
    if (byte == 0x00) {
      ++coded;  // a coded 0xFF
    } else if (byte < 0 || byte == JPEG_EOI) {
      ended = true;
    } else if (byte != 0x01 && (byte < JPEG_RST0 || byte > JPEG_RST0 + 7)) {
      const int high = next(), low = next();
      ended = low < 0;
      for (int skip = (high << 8 | low) - 2; skip > 0 && !ended; --skip) ended = next() < 0;
    }
  }
  file.seek(resume);
  return coded >= wanted;
}

struct JpegErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  void (*libraryEmitMessage)(j_common_ptr, int);
  // The entropy decoder needed bytes past the end of the data while it was
  // still in the first row of blocks of the first scan: no scan line of the
  // picture has any data behind it.
  bool endedInFirstRow;
  // The data ended before the picture did: a scan met a marker (its end,
  // or the end marker put in at the end of the file) before its blocks
  // were all there, or the file ended before its end marker.
  bool dataEnded;
};

void reportProgressiveTooLarge(j_decompress_ptr cinfo) {
  reportError("loadJPEG: Progressive picture too large to decode: %u x %u\n", cinfo->image_width, cinfo->image_height);
}

void jpegErrorExit(j_common_ptr cinfo) {
  if (cinfo->err->msg_code == JERR_NO_BACKING_STORE && cinfo->is_decompressor) {
    // The library ran past its memory bound: say what that means here.
    reportProgressiveTooLarge(reinterpret_cast<j_decompress_ptr>(cinfo));
  } else {
    char message[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, message);
    reportError("JPEG: %s\n", message);
  }
  std::longjmp(reinterpret_cast<JpegErrorManager*>(cinfo->err)->jump, 1);
}

// Notes where the data ran out, then leaves the message to the library.
void jpegEmitMessage(j_common_ptr cinfo, int level) {
  auto* error = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  if (level < 0 && cinfo->err->msg_code == JWRN_HIT_MARKER && cinfo->is_decompressor) {
    const auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number <= 1 && d->input_iMCU_row == 0) error->endedInFirstRow = true;
  }
  if (level < 0 && (cinfo->err->msg_code == JWRN_HIT_MARKER || cinfo->err->msg_code == JWRN_JPEG_EOF))
    error->dataEnded = true;
  error->libraryEmitMessage(cinfo, level);
}

// Warnings go to the trace log, not to the console.
void jpegOutputMessage(j_common_ptr cinfo) {
  char message[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, message);
  g_log.printf("JPEG: %s\n", message);
}

struct JpegDecoder {
  jpeg_decompress_struct cinfo;
  JpegErrorManager error;
  File* file;
  const char* name;
  Image* image;
  bool bottomUp;
};

// Everything between the setjmp and a possible longjmp lives in the library
// or in `d`: no object with a destructor may be skipped by the jump.
bool decode(JpegDecoder& d) {
  jpeg_decompress_struct* cinfo = &d.cinfo;
  if (setjmp(d.error.jump)) return false;
  jpeg_create_decompress(cinfo);
  cinfo->mem->max_memory_to_use = kLibraryMemoryLimit;
  attachFileSource(cinfo, *d.file);
  jpeg_read_header(cinfo, TRUE);
  if (static_cast<long long>(cinfo->image_width) * cinfo->image_height > imagePixelLimit()) {
    reportError("loadJPEG: Picture too large: %u x %u\n", cinfo->image_width, cinfo->image_height);
    return false;
  }
  long long blocks = 0, coefficientBytes = 0;
  for (int c = 0; c < cinfo->num_components; ++c) {
    const jpeg_component_info& component = cinfo->comp_info[c];
    blocks += static_cast<long long>(component.width_in_blocks) * component.height_in_blocks;
    // As the library holds them: whole MCUs across and down.
    const auto roundUp = [](long long n, int factor) { return (n + factor - 1) / factor * factor; };
    coefficientBytes += roundUp(component.width_in_blocks, component.h_samp_factor) *
                        roundUp(component.height_in_blocks, component.v_samp_factor) * DCTSIZE2 *
                        static_cast<long long>(sizeof(JCOEF));
  }
  if (!hasCodedBytes(cinfo, *d.file, (blocks + kBlocksPerDataByte - 1) / kBlocksPerDataByte)) {
    reportError("loadJPEG: Data ends early: too little coded data for %u x %u pixels\n", cinfo->image_width,
                cinfo->image_height);
    return false;
  }
  // A multi-scan picture holds all its coefficients at once; refuse one
  // that would pass the bound before the library allocates it.
  if (jpeg_has_multiple_scans(cinfo) && coefficientBytes > kCoefficientMemoryLimit) {
    reportProgressiveTooLarge(cinfo);
    return false;
  }
  cinfo->dct_method = JDCT_FLOAT;
  cinfo->quantize_colors = FALSE;
  jpeg_start_decompress(cinfo);

  const int components = cinfo->output_components;
  if (cinfo->out_color_space == JCS_GRAYSCALE) {
    if (components != 1) {
      reportError("Wrong grayscale JPEG color depth: %d bit", components * 8);
      return false;
    }
  } else if (components != 3) {
    reportError("Wrong non-grayscale JPEG color depth: %d bit", components * 8);
    return false;
  }
  const int width = static_cast<int>(cinfo->output_width);
  const int height = static_cast<int>(cinfo->output_height);

  // The first line comes before the picture is allocated: a file whose data
  // ends before it would otherwise make a large, flat picture out of a few
  // hundred bytes. A file that ends further on still decodes.
  JSAMPARRAY line = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                static_cast<JDIMENSION>(width * components), 1);
  if (jpeg_read_scanlines(cinfo, line, 1) != 1 || d.error.endedInFirstRow) {
    reportError("JPEG: Data ends before the first scan line\n");
    return false;
  }
  if (!d.image->allocate(width, height)) return false;

  for (bool haveLine = true; haveLine;
       haveLine = cinfo->output_scanline < cinfo->output_height && jpeg_read_scanlines(cinfo, line, 1) == 1) {
    const int y = static_cast<int>(cinfo->output_scanline) - 1;
    const int row = d.bottomUp ? height - 1 - y : y;
    std::uint32_t* out = d.image->pixels() + static_cast<std::size_t>(row) * width;
    const JSAMPLE* in = line[0];
    if (components == 1) {
      for (int x = 0; x < width; ++x) out[x] = 0xFF000000u | in[x] * 0x010101u;
    } else {
      for (int x = 0; x < width; ++x, in += 3) out[x] = 0xFF000000u | in[0] << 16 | in[1] << 8 | in[2];
    }
  }
  jpeg_finish_decompress(cinfo);
  // Loaded, but what the file lacks came out flat: say so once.
  if (d.error.dataEnded) reportRefusal("loadJPEG: \"%s\": its data ends early; what it lacks shows flat\n", d.name);
  return true;
}

}  // namespace

Image* loadJPEG(File& file, const char* name, bool bottomUp) {
  if (!name || !file.open(name)) return nullptr;
  RefPtr<Image> image(new Image(name));
  const auto d = std::make_unique<JpegDecoder>();
  d->cinfo.err = jpeg_std_error(&d->error.pub);
  d->error.pub.error_exit = jpegErrorExit;
  d->error.pub.output_message = jpegOutputMessage;
  d->error.libraryEmitMessage = d->error.pub.emit_message;
  d->error.pub.emit_message = jpegEmitMessage;
  d->file = &file;
  d->name = name;
  d->image = image.get();
  d->bottomUp = bottomUp;
  const bool decoded = decode(*d);
  jpeg_destroy_decompress(&d->cinfo);
  file.close();
  return decoded ? image.detach() : nullptr;
}
