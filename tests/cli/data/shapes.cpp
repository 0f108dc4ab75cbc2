#include "shape.h"

class CShape : public CBase, public IDraw
{
public:
    virtual double Area(double radius) const;
};

double CShape::Area(double radius) const
{
    return radius;  // 半径
}

#define SCALE(x, y) ((x) * (y))
