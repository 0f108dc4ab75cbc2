/* A C89 file: prototypes ahead of their definitions, a macro in each #if branch. */
#include <stddef.h>

static int clamp(int value, int low, int high);
static size_t count(const char *text);

#if defined(__GNUC__)
#define UNUSED(x) (void)(x)
#else
#define UNUSED(x) ((void)(x))
#endif

struct range { int low; int high; };

int total(const struct range *r, const char *text)
{
    return clamp(r->low, 0, r->high) + (int)count(text);
}

static int clamp(int value, int low, int high)
{
    return value < low ? low : value > high ? high : value;
}

static size_t count(const char *text)
{
    size_t n = 0;
    UNUSED(text);
    while (text[n] != '\0') ++n;
    return n;
}
