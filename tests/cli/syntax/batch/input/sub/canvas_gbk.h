struct Point {
    int x, y;
};

enum class 方向 : char { 上, 下 };

union Value {
    int i;
    float f;
};

class Canvas : public Surface<int, 2> {
public:
    void Draw(const Point& at);
};
