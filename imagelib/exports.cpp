// The exported loaders: a context around a file, buffer or resource source, then the
// engine's steps, one at a time or all in one call.
#include <cstdint>

#include "colour/caller_palette.h"
#include "core/checked_size.h"
#include "core/load_flags.h"
#include "core/mem_stream.h"
#include "core/result_codes.h"
#include "core/tracked_memory.h"
#include "engine/serial_engine.h"
#include "formats/png/png_driver.h"
#include "imagelib.h"
#include "win32/resources.h"

namespace imagelib {
namespace {

CallerPalette g_callerPalette{0, nullptr};

// Only the animation loader owns a context that outlives its load; a caller's request for
// it through these exports would leave that context behind for nobody to free.
constexpr std::uint32_t kCallerFlagsDropped = kFlagAnimation;

// A new context named by a and b with the caller's flags; null (words untouched) when
// memory runs out.
SerialImageContext* CreateContext(std::uint32_t* a, std::uint32_t* b, const std::uint32_t* flags,
                                  const wchar_t* path) {
    SerialImageContext* ctx = ImageNewContext();
    if (ctx == nullptr)
        return nullptr;
    ImageContextToWords(ctx, a, b);
    ctx->flags = (flags != nullptr ? *flags : 0) & ~kCallerFlagsDropped;
    ctx->path = path;
    return ctx;
}

// Steps 5 to 8 of a first step: begin, report the flags, free a load that did not start.
int BeginLoad(SerialImageContext* ctx, std::uint32_t* a, std::uint32_t* b, std::uint32_t* flags) {
    const int r = SerialImageBegin(ctx);
    if (flags != nullptr)
        *flags = ctx->flags;
    if (r != kStepAgain)
        SerialImageCleanup(a, b);
    return r;
}

// A stream holding a copy of a module resource: 0, or 3 (not found) or 1 (cannot be
// loaded, empty, out of memory).
int OpenResourceStream(HMODULE module, const wchar_t* name, const wchar_t* type,
                       ImageMemStream* s) {
    const HRSRC found = FindResourceW(module, name, type);
    if (found == 0)
        return kNotFound;
    const HGLOBAL loaded = LoadResource(module, found);
    if (loaded == 0)
        return kOutOfMemory;
    const void* bytes = LockResource(loaded);
    const DWORD size = SizeofResource(module, found);
    if (bytes == nullptr || size == 0 || !FitsBlock(size)) {
        FreeResource(loaded);
        return kOutOfMemory;
    }
    s->base = static_cast<std::uint8_t*>(ImageAlloc(size));
    if (s->base == nullptr) {
        FreeResource(loaded);
        return kOutOfMemory;
    }
    HugeMemCopy(s->base, bytes, static_cast<std::int32_t>(size));
    FreeResource(loaded);
    s->size = static_cast<std::int32_t>(size);
    s->cursor = s->base;
    return kOk;
}

// Steps on from a first step's result r until the load stops asking for more.
int RunToEnd(int r, std::uint32_t* a, std::uint32_t* b, std::uint32_t* flags,
             std::int32_t* transparentIndex) {
    while (r == kStepAgain)
        r = SerialImageNext(a, b, flags, transparentIndex);
    return r;
}

}  // namespace

const CallerPalette& ImageCallerPalette() {
    return g_callerPalette;
}

}  // namespace imagelib

using namespace imagelib;

extern "C" {

int32_t SerialImageFileFirst(const wchar_t* path, const void* buffer, uint32_t length, uint32_t* a,
                             uint32_t* b, uint32_t* flags) {
    if (a == nullptr || b == nullptr)
        return kOutOfMemory;
    SerialImageContext* ctx = CreateContext(a, b, flags, path);
    if (ctx == nullptr)
        return kOutOfMemory;
    int opened = kOk;
    ctx->stream = ImageMemStreamOpenSource(path, buffer, length, L"rb", &opened);
    // The context stays named by a and b for the caller's clean-up. Running out of memory
    // while copying the source is 1; only a source that is not there is 3.
    if (ctx->stream == nullptr)
        return opened;
    return BeginLoad(ctx, a, b, flags);
}

int32_t SerialImageResourceFirst(uint32_t module, const wchar_t* name, const wchar_t* type,
                                 uint32_t* a, uint32_t* b, uint32_t* flags) {
    if (a == nullptr || b == nullptr)
        return kOutOfMemory;
    SerialImageContext* ctx = CreateContext(a, b, flags, nullptr);
    if (ctx == nullptr)
        return kOutOfMemory;
    ctx->stream = static_cast<ImageMemStream*>(ImageAlloc(sizeof(ImageMemStream)));
    if (ctx->stream == nullptr) {
        ImageFree(ctx);
        *a = 0;
        *b = 0;
        return kOutOfMemory;
    }
    // On failure the context and the empty stream stay for the caller's clean-up.
    const int r = OpenResourceStream(module, name, type, ctx->stream);
    if (r != kOk)
        return r;
    return BeginLoad(ctx, a, b, flags);
}

int32_t ImageLoadFileTransIndex(const wchar_t* path, const void* buffer, uint32_t length,
                                uint32_t* a, uint32_t* b, uint32_t* flags,
                                int32_t* transparentIndex) {
    uint32_t oneShot = (flags != nullptr ? *flags : 0) | kFlagOneShot;
    const int r = SerialImageFileFirst(path, buffer, length, a, b, &oneShot);
    return RunToEnd(r, a, b, flags, transparentIndex);
}

int32_t ImageLoadFile(const wchar_t* path, const void* buffer, uint32_t length, uint32_t* a,
                      uint32_t* b, uint32_t* flags) {
    return ImageLoadFileTransIndex(path, buffer, length, a, b, flags, nullptr);
}

int32_t ImageLoadResourceTransIndex(uint32_t module, const wchar_t* name, const wchar_t* type,
                                    uint32_t* a, uint32_t* b, uint32_t* flags,
                                    int32_t* transparentIndex) {
    uint32_t oneShot = (flags != nullptr ? *flags : 0) | kFlagOneShot;
    const int r = SerialImageResourceFirst(module, name, type, a, b, &oneShot);
    return RunToEnd(r, a, b, flags, transparentIndex);
}

int32_t ImageLoadResource(uint32_t module, const wchar_t* name, const wchar_t* type, uint32_t* a,
                          uint32_t* b, uint32_t* flags) {
    return ImageLoadResourceTransIndex(module, name, type, a, b, flags, nullptr);
}

void SetImagePalette(int32_t count, const uint32_t* colours) {
    g_callerPalette = CallerPalette{count, colours};
}

int32_t ImageWritePngFile(const void* unused1, const void* unused2, const void* unused3,
                          const void* unused4, const void* unused5) {
    return PngWriteFile(unused1, unused2, unused3, unused4, unused5);
}

}  // extern "C"
