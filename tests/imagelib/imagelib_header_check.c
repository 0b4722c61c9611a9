/* The public header compiles as C. */
#include "imagelib.h"

int32_t ImagelibHeaderCheck(void);

int32_t ImagelibHeaderCheck(void) {
    uint32_t a = 0, b = 0, flags = IMAGELIB_REDUCE | IMAGELIB_ONE_SHOT;
    return ImageLoadFile(L"x.bmp", 0, 0, &a, &b, &flags) == IMAGELIB_FINISHED;
}
