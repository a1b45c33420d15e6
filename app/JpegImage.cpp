#include "app/JpegImage.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace tegaro {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void onMessage(j_common_ptr) {} // warnings stay quiet

} // namespace

QImage decodeJpeg(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return {};
    jpeg_decompress_struct info{};
    ErrorManager err{};
    info.err = jpeg_std_error(&err.base);
    err.base.error_exit = onError;
    err.base.output_message = onMessage;
    // Declared before setjmp so nothing with a destructor is skipped by longjmp.
    QImage image;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return {};
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB888);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return image;
}

} // namespace tegaro
