// 形状库：绘图用的几个类 😀
#include <cmath>

#define SQUARE(x) ((x) * (x))

/* 基类 */ class CShape : public CObject, protected IDrawable
{
public:
    virtual double Area() const = 0;  // 面积
};
