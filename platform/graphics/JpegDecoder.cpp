// JPEG decoding over libjpeg-turbo from memory. A prefix of a file still arriving is read
// with a suspending source, so only rows (or progressive scans) that have really arrived are
// shown. Errors from the library return through setjmp; no C++ object lives across it.
#include "platform/graphics/Codecs.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <optional>

#include <jpeglib.h>
#include <jerror.h>

namespace graphics {

namespace {

struct ErrorTrap {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    bool missingData; // the entropy decoder wanted bits that were not there
};

struct MemorySource {
    jpeg_source_mgr pub;
    bool suspend; // a prefix: running out of data suspends instead of ending the image
    bool ranOut; // the data ended before an end-of-image marker
};

const JOCTET kFakeEnd[2] = { 0xFF, JPEG_EOI };

void onError(j_common_ptr cinfo)
{
    auto* trap = reinterpret_cast<ErrorTrap*>(cinfo->err);
    std::longjmp(trap->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level)
{
    if (level < 0 && cinfo->err->msg_code == JWRN_HIT_MARKER)
        reinterpret_cast<ErrorTrap*>(cinfo->err)->missingData = true;
}
void onOutput(j_common_ptr) { }
void initSource(j_decompress_ptr) { }
void termSource(j_decompress_ptr) { }

boolean fillInput(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
    if (src->suspend)
        return FALSE;
    // The data is over: end the image here, so that the decoder stops cleanly.
    src->ranOut = true;
    src->pub.next_input_byte = kFakeEnd;
    src->pub.bytes_in_buffer = 2;
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count)
{
    auto* src = reinterpret_cast<MemorySource*>(cinfo->src);
    if (count <= 0)
        return;
    if (std::size_t(count) > src->pub.bytes_in_buffer) {
        src->pub.next_input_byte += src->pub.bytes_in_buffer;
        src->pub.bytes_in_buffer = 0;
        return;
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= std::size_t(count);
}

// Everything a decode needs, made before setjmp so that nothing is skipped by a longjmp.
struct Job {
    jpeg_decompress_struct cinfo {};
    ErrorTrap trap {};
    MemorySource source {};
    std::shared_ptr<Bytes> pixels = std::make_shared<Bytes>();
    std::size_t rows = 0;
    std::size_t bytesPerRow = 0;
    bool created = false;
    bool complete = false;
    std::size_t maxSide = 0; // decode to fit this (0: full size)
    PixelSize target; // the size delivered
    std::optional<Downsampler> downsampler; // what the library's scaling leaves to shrink
    Bytes strip; // rows on their way to the downsampler
};

void prepare(Job& job, const std::uint8_t* data, std::size_t size, bool suspend)
{
    job.cinfo.err = jpeg_std_error(&job.trap.pub);
    job.trap.pub.error_exit = onError;
    job.trap.pub.emit_message = onMessage;
    job.trap.pub.output_message = onOutput;
    job.source.pub.init_source = initSource;
    job.source.pub.fill_input_buffer = fillInput;
    job.source.pub.skip_input_data = skipInput;
    job.source.pub.resync_to_restart = jpeg_resync_to_restart;
    job.source.pub.term_source = termSource;
    job.source.pub.next_input_byte = data;
    job.source.pub.bytes_in_buffer = size;
    job.source.suspend = suspend;
}

// Chooses the output layout after the header; false when the image cannot be decoded.
bool chooseOutput(Job& job, CGBitmapLayout& layout)
{
    jpeg_decompress_struct& c = job.cinfo;
    if (!pixelCountAllowed(c.image_width, c.image_height))
        return false;
    layout.width = c.image_width;
    layout.height = c.image_height;
    layout.bitsPerComponent = 8;
    switch (c.num_components) {
    case 1:
        c.out_color_space = JCS_GRAYSCALE;
        layout.bitsPerPixel = 8;
        layout.colorSpace = CGColorSpaceCreateDeviceGray();
        layout.bitmapInfo = kCGImageAlphaNone;
        break;
    case 3:
        c.out_color_space = JCS_EXT_RGBX;
        layout.bitsPerPixel = 32;
        layout.colorSpace = CGColorSpaceCreateDeviceRGB();
        layout.bitmapInfo = kCGImageAlphaNoneSkipLast;
        break;
    case 4:
        c.out_color_space = JCS_CMYK;
        layout.bitsPerPixel = 32;
        layout.colorSpace = CGColorSpaceCreateDeviceCMYK();
        layout.bitmapInfo = kCGImageAlphaNone;
        break;
    default:
        return false;
    }
    // The library scales by n/8 while decoding: the smallest n that still covers the target.
    job.target = fitWithin(c.image_width, c.image_height, job.maxSide);
    for (unsigned n = 1; n <= 8; ++n) {
        bool covers = (std::size_t(c.image_width) * n + 7) / 8 >= job.target.width
            && (std::size_t(c.image_height) * n + 7) / 8 >= job.target.height;
        if (covers || n == 8) {
            c.scale_num = n;
            c.scale_denom = 8;
            break;
        }
    }
    jpeg_calc_output_dimensions(&c);
    layout.width = c.output_width;
    layout.height = c.output_height;
    layout.bytesPerRow = layout.width * layout.bitsPerPixel / 8;
    job.bytesPerRow = layout.bytesPerRow;
    return true;
}

bool isAdobeCmyk(const Job& job, const CGBitmapLayout& layout)
{
    return layout.colorSpace->model() == kCGColorSpaceModelCMYK && job.cinfo.saw_Adobe_marker;
}

void invertBytes(std::uint8_t* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = std::uint8_t(255 - bytes[i]);
}

// Reads scanlines until the image ends or the input suspends: into the bitmap, or through the
// strip into the downsampler.
void readRows(Job& job, const CGBitmapLayout& layout)
{
    jpeg_decompress_struct& c = job.cinfo;
    JSAMPROW rows[16];
    while (c.output_scanline < c.output_height) {
        const std::size_t first = c.output_scanline;
        int n = 0;
        for (; n < 16 && c.output_scanline + JDIMENSION(n) < c.output_height; ++n) {
            rows[n] = job.downsampler ? job.strip.data() + std::size_t(n) * job.bytesPerRow
                                      : job.pixels->data() + (first + std::size_t(n)) * job.bytesPerRow;
        }
        JDIMENSION got = jpeg_read_scanlines(&c, rows, JDIMENSION(n));
        if (got == 0)
            break;
        if (!job.downsampler)
            continue;
        for (JDIMENSION i = 0; i < got; ++i) {
            if (isAdobeCmyk(job, layout))
                invertBytes(rows[i], job.bytesPerRow);
            job.downsampler->addRow(rows[i]);
        }
    }
    job.rows = c.output_scanline;
}

// The body of a decode; returns false on a suspended header or an unusable image.
bool run(Job& job, CGBitmapLayout& layout, bool final)
{
    jpeg_decompress_struct& c = job.cinfo;
    jpeg_create_decompress(&c);
    job.created = true;
    c.src = &job.source.pub;
    if (jpeg_read_header(&c, TRUE) != JPEG_HEADER_OK || !chooseOutput(job, layout))
        return false;
    c.buffered_image = (!final && c.progressive_mode) ? TRUE : FALSE;
    if (!jpeg_start_decompress(&c))
        return false;
    // A shrunk image always ends in Cairo's layout, also when the library's scaling was enough.
    if (job.target.width < c.image_width || job.target.height < c.image_height) {
        job.downsampler.emplace(layout, job.target.width, job.target.height);
        job.strip.assign(job.bytesPerRow * 16, 0);
    } else {
        job.pixels->assign(job.bytesPerRow * c.output_height, 0);
    }
    if (!c.buffered_image) {
        readRows(job, layout);
        // Complete data that stops early is a cut-off file. A baseline file that lacks only its
        // end marker is whole; a progressive one without it may lack its last scans.
        bool cutOff = job.source.ranOut && (job.trap.missingData || c.progressive_mode);
        job.complete = final && job.rows == c.output_height && !cutOff;
        return final ? job.complete : job.rows > 0;
    }
    // Progressive prefix: take in what has arrived, then show the last complete scan.
    int status;
    do {
        status = jpeg_consume_input(&c);
    } while (status != JPEG_SUSPENDED && status != JPEG_REACHED_EOI);
    int scan = status == JPEG_REACHED_EOI ? c.input_scan_number : c.input_scan_number - 1;
    if (scan < 1)
        return false;
    jpeg_start_output(&c, scan);
    readRows(job, layout);
    return job.rows == c.output_height;
}

} // namespace

bool readJpegHeader(const std::uint8_t* data, std::size_t size, ImageHeader& header)
{
    if (!data || size < 4)
        return false;
    auto job = std::make_unique<Job>();
    prepare(*job, data, size, true);
    if (setjmp(job->trap.jump)) {
        jpeg_destroy_decompress(&job->cinfo);
        return false;
    }
    jpeg_create_decompress(&job->cinfo);
    job->cinfo.src = &job->source.pub;
    bool ok = jpeg_read_header(&job->cinfo, TRUE) == JPEG_HEADER_OK;
    if (ok) {
        header.width = job->cinfo.image_width;
        header.height = job->cinfo.image_height;
        header.depth = 8;
        header.hasAlpha = false;
        header.model = job->cinfo.num_components == 1 ? kCGColorSpaceModelMonochrome
            : job->cinfo.num_components == 4           ? kCGColorSpaceModelCMYK
                                                       : kCGColorSpaceModelRGB;
        header.orientation = readJpegExifOrientation(data, size);
    }
    jpeg_destroy_decompress(&job->cinfo);
    return ok && header.width > 0 && header.height > 0;
}

DecodedImage decodeJpeg(const std::uint8_t* data, std::size_t size, bool final, std::size_t maxSide)
{
    if (!data || size < 4)
        return {};
    auto job = std::make_unique<Job>();
    job->maxSide = maxSide;
    CGBitmapLayout layout;
    prepare(*job, data, size, !final);
    if (setjmp(job->trap.jump)) {
        if (job->created)
            jpeg_destroy_decompress(&job->cinfo);
        return {};
    }
    bool ok = run(*job, layout, final);
    jpeg_destroy_decompress(&job->cinfo);
    if (!ok)
        return {};
    if (job->downsampler)
        return { job->downsampler->image(), job->complete };
    if (isAdobeCmyk(*job, layout))
        invertBytes(job->pixels->data(), job->pixels->size());
    layout.height = job->rows;
    job->pixels->resize(job->rows * job->bytesPerRow);
    return { CGImage::create(std::move(layout), std::move(job->pixels)), job->complete };
}

} // namespace graphics
