#include "shapes.h"

// Already commented: left alone.
double Area(const Shape& shape);

double Circle::Area() const
{
    return 3.14159 * radius_ * radius_;
}

template <typename T, typename U = std::less<T>>
T Largest(const std::vector<T>& items, U compare = U())
{
    return items.front();
}

#define SQUARE(x) ((x) * (x))
#define PI 3.14159

static int Counter(int start = 0) { return start; }
