#pragma once

// Writers that store an orientation the way each format itself does: HEIF
// turns by irot/imir boxes, JPEG XL in its codestream header. libvips writes
// neither, and phones and cameras write both.

#include <jxl/encode.h>
#include <libheif/heif.h>
#include <vips/vips8>

#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace varnetto::testing {

inline std::vector<unsigned char> rgbBytes(const vips::VImage& rgb) {
    const vips::VImage memory = rgb.cast(VIPS_FORMAT_UCHAR).copy_memory();
    const auto* data = static_cast<const unsigned char*>(memory.data());
    return {data, data + static_cast<size_t>(memory.width()) * memory.height() * 3};
}

// orientation: the EXIF value (6 = turn clockwise to view).
inline void writeTurnedHeif(const vips::VImage& rgb, const std::string& path, bool av1,
                            int orientation) {
    const int w = rgb.width(), h = rgb.height();
    const std::vector<unsigned char> pixels = rgbBytes(rgb);
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(context, av1 ? heif_compression_AV1 : heif_compression_HEVC,
                                        &encoder);
    heif_image* image = nullptr;
    heif_image_create(w, h, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, w, h, 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < h; ++y)
        std::memcpy(plane + y * stride, &pixels[static_cast<size_t>(y) * w * 3],
                    static_cast<size_t>(w) * 3);
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = static_cast<heif_orientation>(orientation);
    heif_error error = heif_context_encode_image(context, image, encoder, options, nullptr);
    if (error.code == heif_error_Ok) error = heif_context_write_to_file(context, path.c_str());
    heif_encoding_options_free(options);
    heif_image_release(image);
    heif_encoder_release(encoder);
    heif_context_free(context);
    if (error.code != heif_error_Ok) throw std::runtime_error(error.message);
}

inline void writeTurnedJxl(const vips::VImage& rgb, const std::string& path, int orientation) {
    const std::vector<unsigned char> pixels = rgbBytes(rgb);
    JxlEncoder* encoder = JxlEncoderCreate(nullptr);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = static_cast<uint32_t>(rgb.width());
    info.ysize = static_cast<uint32_t>(rgb.height());
    info.bits_per_sample = 8;
    info.num_color_channels = 3;
    info.orientation = static_cast<JxlOrientation>(orientation);
    JxlColorEncoding colour;
    JxlColorEncodingSetToSRGB(&colour, JXL_FALSE);
    JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    bool ok = JxlEncoderSetBasicInfo(encoder, &info) == JXL_ENC_SUCCESS &&
              JxlEncoderSetColorEncoding(encoder, &colour) == JXL_ENC_SUCCESS &&
              JxlEncoderAddImageFrame(JxlEncoderFrameSettingsCreate(encoder, nullptr), &format,
                                      pixels.data(), pixels.size()) == JXL_ENC_SUCCESS;
    JxlEncoderCloseInput(encoder);
    std::vector<unsigned char> out(4096);
    size_t used = 0;
    while (ok) {
        unsigned char* next = out.data() + used;
        size_t available = out.size() - used;
        const JxlEncoderStatus status = JxlEncoderProcessOutput(encoder, &next, &available);
        used = static_cast<size_t>(next - out.data());
        if (status == JXL_ENC_SUCCESS) break;
        if (status != JXL_ENC_NEED_MORE_OUTPUT) ok = false;
        out.resize(out.size() * 2);
    }
    JxlEncoderDestroy(encoder);
    if (!ok) throw std::runtime_error("libjxl refused the picture");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(used));
}

}  // namespace varnetto::testing
