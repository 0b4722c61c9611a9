// Counting the images of a GIF file: the block walk over the whole file, to its trailer.
#include "core/result_codes.h"
#include "formats/gif/gif_anim.h"

namespace imagelib {

int GifCountFrames(const wchar_t* path, std::int32_t* count) {
    *count = 0;
    int r = kOk;
    const GifSource source(path, &r);
    if (source.get() == nullptr)
        return r;
    GifWalker walker(source.get());
    GifHead head;
    r = walker.ReadHead(&head);
    std::int32_t frames = 0;
    for (GifBlock b; r == kOk;) {
        // A file that ends without its trailer fails here too.
        r = walker.Next(&b);
        if (r == kOk && b.kind == kGifTrailer) {
            *count = frames;
            return kOk;
        }
        frames += b.kind == kGifImage ? 1 : 0;
    }
    return r;
}

}  // namespace imagelib
