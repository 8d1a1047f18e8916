#include "AssetFixtures.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace assettest {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() : previous_(fs::current_path().string()) {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "assets";
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    path_ = (fs::temp_directory_path() / ("vx-assets-" + name + "-" + std::to_string(::getpid()))).string();
    fs::remove_all(path_);
    fs::create_directories(path_);
    fs::current_path(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
    fs::remove_all(path_, ignored);
}

void writeFile(const std::string& path, const Bytes& bytes) {
    const fs::path p(path);
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void writeJpeg(const std::string& path, int width, int height, int components, const Bytes& pixels, int quality) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    // No chroma subsampling, so small colour details survive the round trip.
    for (int c = 0; c < info.num_components; ++c) {
        info.comp_info[c].h_samp_factor = 1;
        info.comp_info[c].v_samp_factor = 1;
    }
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + static_cast<std::size_t>(info.next_scanline) * width * components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    writeFile(path, Bytes(buffer, buffer + size));
    std::free(buffer);
}

void writeSolidJpeg(const std::string& path, int width, int height, std::array<std::uint8_t, 3> rgb) {
    Bytes pixels(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = rgb[i % 3];
    writeJpeg(path, width, height, 3, pixels);
}

void writePng(const std::string& path, const PngSpec& spec) {
    const fs::path p(path);
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("cannot write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colourType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (const auto& c : spec.palette) palette.push_back({c[0], c[1], c[2]});
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (!spec.transparency.empty()) {
        png_set_tRNS(png, info, spec.transparency.data(), static_cast<int>(spec.transparency.size()), nullptr);
    }
    png_write_info(png, info);
    const std::size_t rowBytes = spec.rows.size() / static_cast<std::size_t>(spec.height);
    std::vector<png_bytep> rows;
    for (int y = 0; y < spec.height; ++y) rows.push_back(const_cast<png_bytep>(spec.rows.data() + rowBytes * y));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

Bytes ob3Bytes(const std::vector<std::array<std::int16_t, 3>>& vertices, const std::vector<Ob3Face>& faces) {
    Bytes out;
    auto word = [&out](int value) {
        out.push_back(static_cast<std::uint8_t>(value & 0xff));
        out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xff));
    };
    word(static_cast<int>(vertices.size()));
    word(static_cast<int>(faces.size()));
    for (const auto& v : vertices) {
        for (std::int16_t c : v) word(c);
    }
    for (const Ob3Face& f : faces) {
        for (std::uint16_t c : f.corners) word(c);
        word(f.extra);
        for (std::int16_t t : f.tex) word(t);
    }
    return out;
}

}  // namespace assettest
