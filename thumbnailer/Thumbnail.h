// A file manager's thumbnail of a model file: the picture the command line
// draws (`ostrel MODEL -o NAME.png --size N`, the same bytes), or, where
// that picture would cost more than the budget allows, a simpler one: the
// model's points as dots. The work is bounded by the model's bytes, of
// which at most kWholeModelBytes are read, and by the picture's size, which
// is held to kThumbnailMaxSize; the process's own limits (Budget.h) catch
// what these bounds would miss.
#pragma once

#include "pipeline/Pipeline.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A model of up to this many bytes is imported whole and drawn as the
// command line draws it; of a larger one only this many bytes are read, and
// the points among them are drawn. The import's time and memory grow with
// the bytes (ordinary models take about 11 ms of processor time per MB, and
// about 4 bytes of memory per byte: docs/pictures.md); this bound keeps both
// well within the budget.
constexpr size_t kWholeModelBytes = size_t{64} << 20;

// Sizes asked for beyond this get a picture of this size (freedesktop's
// largest thumbnails are 1024 pixels); below the renderer's least, that.
constexpr uint32_t kThumbnailMaxSize = 1024;

// At most this many points are drawn as dots: beyond it an even sample
// (every k-th point), so that the arrays handed to the renderer stay small
// whatever the file holds.
constexpr size_t kMostDots = size_t{1} << 20;

// The size a thumbnail is drawn at for a size asked for.
uint32_t ThumbnailSize(uint64_t asked);

enum class ThumbnailKind {
    None,   // no picture: `reason` says why
    Whole,  // the command line's picture of the whole object
    Points, // the points as dots: the model is too big, or has no polygon
};

struct Thumbnail {
    ThumbnailKind kind = ThumbnailKind::None;
    std::string png;
    std::string reason; // without a picture, one line; with the points, why
};

// `bytes`: the model file's first bytes, all of it unless `cut` (the file
// goes on beyond them); `modelName` its name. `converter`: the converter's
// build of the plug-in, started. Memory running out is a thumbnail of kind
// None, never an exception.
Thumbnail MakeThumbnail(const LoadedModule& converter, const std::string& modelName,
                        std::string_view bytes, bool cut, uint32_t size);
