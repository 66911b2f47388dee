#include "core/version/JpegImage.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <new>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace olvo {

namespace {

// libjpeg's own error handling prints and calls exit(). Instead, an error or a warning jumps
// back to the phase that called into libjpeg, which then reports failure. The jumps cross only
// libjpeg's C frames: no C++ object is skipped.
struct ErrorTrap {
    jpeg_error_mgr manager;  // first: libjpeg hands back a pointer to it
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
};

ErrorTrap& TrapOf(j_common_ptr info) {
    return *reinterpret_cast<ErrorTrap*>(info->err);
}

[[noreturn]] void Fail(j_common_ptr info) {
    std::longjmp(TrapOf(info).jump, 1);
}

void OnMessage(j_common_ptr info, int level) {
    // Level -1 is a warning: data that libjpeg could only get past by guessing.
    if (level < 0) Fail(info);
}

void Silent(j_common_ptr) {}

void OnProgress(j_common_ptr info) {
    if (info->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxJpegScans)
        Fail(info);
}

struct Decoder {
    jpeg_decompress_struct info;
    ErrorTrap trap;
};

// Reads the header and prepares RGB output. False when the picture is refused.
bool Start(Decoder& decoder, const std::uint8_t* bytes, std::size_t size) {
    jpeg_decompress_struct& info = decoder.info;
    if (setjmp(decoder.trap.jump)) return false;
    jpeg_create_decompress(&info);
    info.progress = &decoder.trap.progress;
    jpeg_mem_src(&info, bytes, static_cast<unsigned long>(size));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
    const std::int64_t width = info.image_width;
    const std::int64_t height = info.image_height;
    if (width < 1 || height < 1 || width > kMaxJpegSide || height > kMaxJpegSide ||
        width * height > kMaxJpegPixels)
        return false;
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    return info.output_components == 3 && info.output_width == info.image_width &&
           info.output_height == info.image_height;
}

// Decodes every row into rgb (output_width * output_height * 3 bytes). False on any complaint.
bool ReadRows(Decoder& decoder, std::uint8_t* rgb) {
    jpeg_decompress_struct& info = decoder.info;
    if (setjmp(decoder.trap.jump)) return false;
    const std::size_t stride = static_cast<std::size_t>(info.output_width) * 3;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = rgb + static_cast<std::size_t>(info.output_scanline) * stride;
        if (jpeg_read_scanlines(&info, &row, 1) != 1) return false;
    }
    return jpeg_finish_decompress(&info) == TRUE;
}

}  // namespace

std::optional<RgbImage> DecodeJpeg(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return std::nullopt;
    std::optional<RgbImage> result;
    // On the heap and reached by reference only, so that nothing the phases change lives in a
    // register of the frame that setjmp returns to.
    const auto decoder = std::make_unique<Decoder>();
    decoder->info.err = jpeg_std_error(&decoder->trap.manager);
    decoder->trap.manager.error_exit = Fail;
    decoder->trap.manager.emit_message = OnMessage;
    decoder->trap.manager.output_message = Silent;
    decoder->trap.progress.progress_monitor = OnProgress;
    try {
        if (Start(*decoder, bytes.data(), bytes.size())) {
            RgbImage image;
            image.width = static_cast<int>(decoder->info.output_width);
            image.height = static_cast<int>(decoder->info.output_height);
            image.rgb.resize(static_cast<std::size_t>(image.width) *
                             static_cast<std::size_t>(image.height) * 3);
            if (ReadRows(*decoder, image.rgb.data())) result = std::move(image);
        }
    } catch (const std::bad_alloc&) {
        result.reset();
    }
    jpeg_destroy_decompress(&decoder->info);
    return result;
}

}  // namespace olvo
