// A small drawing library to try quillmark on.
#include <cmath>

#define PI 3.14159265358979
#define SQUARE(x) ((x) * (x))

struct Point {
  double x, y;
};

class CShape : public CObject, protected IDrawable
{
public:
    virtual double Area() const = 0;
};

double CCircle::Area(double radius, int precision)
{
    return PI * SQUARE(radius);
}
