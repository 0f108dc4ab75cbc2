#include <map>
#include <string>

int parse(const std::string& s, int base = 10);

std::string Widget::Describe(std::map<int, std::string> names, bool verbose = false) const
{
    return {};
}

enum class Colour : char { red, green };

template <class T> class Holder : public Base<T, int>, private Other {
};

bool Widget::operator()(int 宽度, int 高度)
{
    return true;
}

Widget::~Widget() {}

#define CLAMP(value, low, high) ((value) < (low) ? (low) : (value))

auto Lookup(const char* key) -> std::pair<int, int>;

    total = Sum(1, 2);
