#include "ui/qt/JpegImage.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h uses FILE without declaring it

#include <jpeglib.h>

// libjpeg reports errors by calling a function that must not return. The default one exits the program,
// so ours jumps back to the caller instead. A longjmp skips destructors, so every function that calls
// setjmp below holds only plain C data, and the one C++ object, the QImage, lives in the caller.

namespace {

struct JpegErrorTrap {
    jpeg_error_mgr manager;  // first member, so libjpeg's pointer to it is a pointer to the trap
    std::jmp_buf jump;
};

[[noreturn]] void JumpOnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrorTrap*>(info->err)->jump, 1);
}

// Level -1 is a warning about corrupt data, which libjpeg would otherwise repair with grey blocks.
// A damaged picture is refused rather than shown half grey; trace messages (levels >= 0) are ignored.
void JumpOnCorruptData(j_common_ptr info, int level)
{
    if (level < 0)
        JumpOnError(info);
}

struct JpegReader {
    jpeg_decompress_struct info;
    JpegErrorTrap trap;
};

// Reads the header and starts decompression into 8-bit RGB; false on any libjpeg error.
bool StartDecompress(JpegReader* reader, const unsigned char* data, unsigned long size)
{
    if (setjmp(reader->trap.jump))
        return false;
    jpeg_mem_src(&reader->info, data, size);
    jpeg_read_header(&reader->info, TRUE);
    reader->info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&reader->info);
    // The caller's rows hold exactly three bytes a pixel.
    return reader->info.output_components == 3;
}

// Decompresses every row into the caller's buffer; false on any libjpeg error.
bool ReadRows(JpegReader* reader, unsigned char* firstRow, long bytesPerRow)
{
    if (setjmp(reader->trap.jump))
        return false;
    while (reader->info.output_scanline < reader->info.output_height) {
        JSAMPROW row = firstRow + bytesPerRow * static_cast<long>(reader->info.output_scanline);
        jpeg_read_scanlines(&reader->info, &row, 1);
    }
    jpeg_finish_decompress(&reader->info);
    return true;
}

}  // namespace

QImage DecodeJpeg(const QByteArray& bytes)
{
    JpegReader reader{};
    reader.info.err = jpeg_std_error(&reader.trap.manager);
    reader.trap.manager.error_exit = JumpOnError;
    reader.trap.manager.emit_message = JumpOnCorruptData;
    jpeg_create_decompress(&reader.info);

    QImage image;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    if (StartDecompress(&reader, data, static_cast<unsigned long>(bytes.size()))) {
        image = QImage(static_cast<int>(reader.info.output_width), static_cast<int>(reader.info.output_height),
                       QImage::Format_RGB888);
        // A null image here means the picture is too large to hold; refuse it like a damaged one.
        if (image.isNull() || !ReadRows(&reader, image.bits(), image.bytesPerLine()))
            image = QImage();
    }
    jpeg_destroy_decompress(&reader.info);
    return image;
}
