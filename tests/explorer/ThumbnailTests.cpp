// The thumbnail: for every example and test model, the pixels the png
// output holds at the same size (compared as that PNG's bytes, which encode
// the pixels exactly); the models that get none; the size bound; and the
// bitmap's row layout with premultiplied alpha.
#include "explorer/Thumbnail.h"

#include "engine/ostrel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string Bytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The png output's bytes for the model, or empty when it gives none.
std::string PngOutput(const std::string& model, uint32_t size) {
    ostrel_request* request = ostrel_request_new();
    ostrel_request_format(request, "png");
    ostrel_request_set(request, OSTREL_PICTURE_SIZE, size);
    ostrel_import* import = ostrel_import_run(request, "model.rk4", model.data(), model.size());
    std::string png;
    size_t bytes = 0;
    if (ostrel_result(import) == OSTREL_LOADED && ostrel_file_count(import) == 1) {
        const void* data = ostrel_file_bytes(import, 0, &bytes);
        png.assign(static_cast<const char*>(data), bytes);
    }
    ostrel_import_free(import);
    ostrel_request_free(request);
    return png;
}

TEST(Thumbnail, IsThePngOutputsPicture) {
    int drawn = 0;
    for (const char* folder : {OSTREL_EXAMPLES_DIR, OSTREL_TEST_DATA_DIR}) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (!entry.is_regular_file())
                continue;
            const std::string model = Bytes(entry.path());
            const Thumbnail thumbnail = DrawThumbnail(model, 256);
            const std::string expected = PngOutput(model, 256);
            SCOPED_TRACE(entry.path().string());
            std::string png, error;
            if (thumbnail.status == ThumbnailStatus::Drawn) {
                EXPECT_EQ(thumbnail.picture.size, 256u);
                ASSERT_TRUE(EncodePng(thumbnail.picture, png, error)) << error;
                EXPECT_TRUE(png == expected);
                ++drawn;
                continue;
            }
            ASSERT_EQ(thumbnail.status, ThumbnailStatus::NoPicture);
            EXPECT_FALSE(thumbnail.reason.empty());
            // A model the png output draws nothing of: its picture is empty.
            if (!expected.empty()) {
                EXPECT_EQ(thumbnail.reason, "nothing to draw");
                const Picture empty{256, std::vector<uint8_t>(4 * 256 * 256, 0)};
                ASSERT_TRUE(EncodePng(empty, png, error)) << error;
                EXPECT_TRUE(png == expected);
            }
        }
    }
    EXPECT_GE(drawn, 10);
    // Sizes beyond the renderer's are drawn at its nearest.
    EXPECT_EQ(DrawThumbnail(Bytes(OSTREL_EXAMPLES_DIR "/cube.rk4"), 8).picture.size, 16u);
    EXPECT_EQ(ThumbnailSide(4096), 2048u);
}

TEST(Thumbnail, NoPictureForWhatShowsNothingOrIsTooLarge) {
    const Thumbnail point =
        DrawThumbnail("ROKU4\nPOINT\n0\n0\n0\n0\n0\n1\n2\n3\nLINE0\nFACE0\nEND00\n", 64);
    EXPECT_EQ(point.status, ThumbnailStatus::NoPicture);
    EXPECT_EQ(point.reason, "nothing to draw");
    EXPECT_TRUE(point.picture.rgba.empty());

    std::string large = Bytes(OSTREL_EXAMPLES_DIR "/cube.rk4");
    large.resize(kThumbnailMaxModelBytes + 1, '\n');
    EXPECT_EQ(DrawThumbnail(large, 64).status, ThumbnailStatus::TooLarge);
    large.resize(kThumbnailMaxModelBytes);
    EXPECT_EQ(DrawThumbnail(large, 64).status, ThumbnailStatus::Drawn);
}

TEST(Thumbnail, BitmapRowsAreBgraPremultiplied) {
    Picture picture;
    picture.size = 2;
    picture.rgba = {255, 128, 0, 255, 200, 100, 50, 0, 255, 255, 255, 128, 10, 200, 255, 1};
    uint8_t rows[16];
    WritePremultipliedBgra(picture, rows);
    const uint8_t expected[16] = {0, 128, 255, 255, 0, 0, 0, 0, 128, 128, 128, 128, 1, 1, 0, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(rows[i], expected[i]) << "byte " << i;
}

} // namespace
