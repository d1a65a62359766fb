#include "thumbnailer/Thumbnail.h"

#include "render/Picture.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <new>
#include <vector>

namespace {

// The dots' colour: a mid grey that shows on light and dark backgrounds
// alike (dots are drawn unlit).
constexpr PictureSurface kDotSurface = {110, 110, 110, 1.0f, 0.0f, false};

// The request every thumbnail's import shares: the model's bytes through
// the converter's build (every face, read from memory, no file staged), the
// panel answered with the plug-in's proposals, nothing else read or kept.
ImportRequest RequestFor(const LoadedModule& converter, const std::string& modelName,
                         std::string_view bytes) {
    ImportRequest request;
    request.converter = &converter;
    request.modelName = modelName;
    request.modelBytes = bytes;
    return request;
}

// The first `end` points as dots: all of them up to kMostDots, else every
// step-th, so that at most kMostDots are drawn.
bool DrawDots(const std::vector<ReceivedPoint>& points, size_t end, uint32_t size, std::string& png,
              std::string& error) {
    const size_t step = end > kMostDots ? (end + kMostDots - 1) / kMostDots : 1;
    const size_t count = end == 0 ? 0 : (end - 1) / step + 1;
    std::vector<float> xyz;
    xyz.reserve(3 * count);
    for (size_t i = 0; i < end; i += step)
        xyz.insert(xyz.end(), {points[i].x, points[i].y, points[i].z});
    std::vector<uint32_t> corners(count);
    for (size_t i = 0; i < count; ++i)
        corners[i] = static_cast<uint32_t>(i);
    const std::vector<uint32_t> sizes(count, 1), surfaces(count, 0);
    const std::vector<float> normals(3 * count, 0.0f);

    PictureInput input;
    input.points = xyz.data();
    input.pointCount = count;
    input.corners = corners.data();
    input.cornerCount = count;
    input.cornerNormals = normals.data();
    input.polygonSizes = sizes.data();
    input.polygonSurfaces = surfaces.data();
    input.polygonCount = count;
    input.surfaces = &kDotSurface;
    input.surfaceCount = 1;
    Picture picture;
    return RenderPicture(input, size, picture, error) && EncodePng(picture, png, error);
}

Thumbnail PointsAsDots(const ReceivedModel& received, bool cut, uint32_t size, const char* why) {
    Thumbnail thumbnail;
    // The last point of a cut file may be made up: a record the cut ended
    // is completed from its last line, and a CR LF at the cut starts one
    // more record of zeros; either way one point, the last. (A cut beyond
    // the point section leaves out a point of the file: no matter.)
    const size_t end =
        cut && !received.points.empty() ? received.points.size() - 1 : received.points.size();
    if (end == 0) {
        thumbnail.reason = cut ? "no point in the model's first part" : "the model holds nothing";
        return thumbnail;
    }
    // Points that all lie at one place (a file of zeros reads so) would be
    // one dot: no picture of the model.
    const auto differs = [&](const ReceivedPoint& p) {
        const ReceivedPoint& q = received.points[0];
        return p.x != q.x || p.y != q.y || p.z != q.z;
    };
    if (std::none_of(received.points.begin(), received.points.begin() + static_cast<ptrdiff_t>(end),
                     differs)) {
        thumbnail.reason = "its points all lie at one place";
        return thumbnail;
    }
    if (!DrawDots(received.points, end, size, thumbnail.png, thumbnail.reason))
        return thumbnail;
    thumbnail.kind = ThumbnailKind::Points;
    thumbnail.reason = why;
    return thumbnail;
}

Thumbnail WholeObjectPicture(const LoadedModule& converter, const std::string& modelName,
                             std::string_view bytes, uint32_t size) {
    ImportRequest request = RequestFor(converter, modelName, bytes);
    request.format = ExportFormat::Png;
    request.pictureSize = size;
    ImportOutcome outcome = RunImport(request);
    Thumbnail thumbnail;
    // Without a polygon the picture has nothing drawn (the png is not
    // formed): its points are drawn as dots instead.
    const bool loaded =
        outcome.result == ImportResult::Loaded || outcome.result == ImportResult::NotConverted;
    if (loaded && outcome.counts.polygons == 0)
        return PointsAsDots(outcome.received, false, size, "the model has no polygon");
    if (outcome.result != ImportResult::Loaded || outcome.files.size() != 1) {
        thumbnail.reason = outcome.reason;
        return thumbnail;
    }
    thumbnail.kind = ThumbnailKind::Whole;
    thumbnail.png = std::move(outcome.files[0].bytes);
    return thumbnail;
}

Thumbnail FirstPartAsDots(const LoadedModule& converter, const std::string& modelName,
                          std::string_view bytes, uint32_t size) {
    ImportRequest request = RequestFor(converter, modelName, bytes);
    request.keepReceived = true;
    // The part ends inside a section, as it was cut here: that is no damage
    // of the file's. Damage found before the cut is.
    request.salvage = true;
    const ImportOutcome outcome = RunImport(request);
    if (outcome.damage.kind != DamageKind::None && outcome.damage.kind != DamageKind::CutShort) {
        Thumbnail thumbnail;
        thumbnail.reason = "damaged: " + outcome.damage.cause;
        return thumbnail;
    }
    if (outcome.result != ImportResult::Loaded) {
        Thumbnail thumbnail;
        thumbnail.reason = outcome.reason;
        return thumbnail;
    }
    return PointsAsDots(outcome.received, true, size, "the model is too big to draw whole");
}

} // namespace

uint32_t ThumbnailSize(uint64_t asked) {
    return static_cast<uint32_t>(std::clamp<uint64_t>(asked, kPictureMinSize, kThumbnailMaxSize));
}

Thumbnail MakeThumbnail(const LoadedModule& converter, const std::string& modelName,
                        std::string_view bytes, bool cut, uint32_t size) try {
    return cut ? FirstPartAsDots(converter, modelName, bytes, size)
               : WholeObjectPicture(converter, modelName, bytes, size);
} catch (const std::bad_alloc&) {
    Thumbnail thumbnail;
    thumbnail.reason = "not enough memory";
    return thumbnail;
}
