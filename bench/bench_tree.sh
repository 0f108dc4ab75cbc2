#!/usr/bin/env bash
# The benchmark tree of batch and check: FILES C++ files in ten directories.
#   bench_tree.sh DIR FILES
set -eu
tree=$1 files=$2
# Ten directories; each file holds a class, a struct, an enum, free functions,
# out-of-line members, a macro with parameters and some already commented.
for ((d = 0; d < 10; d++)); do mkdir -p "$tree/dir$d"; done
for ((i = 0; i < files; i++)); do
  cat >"$tree/dir$((i % 10))/file$i.cpp" <<SOURCE
#include <map>
#include <string>
#include <vector>

#define CLAMP$i(value, low, high) ((value) < (low) ? (low) : (value) > (high) ? (high) : (value))

enum class Mode$i : unsigned char { kFast, kSlow };

struct Point$i {
    int x = 0;
    int y = 0;
};

class Shape$i : public Base<int, char>, private Mixin {
public:
    explicit Shape$i(const std::string& name = "shape");
    virtual ~Shape$i();
    double Area() const;
    bool operator()(const Point$i& at) const;
private:
    std::map<int, std::vector<Point$i>> points_;
};

Shape$i::Shape$i(const std::string& name) {}

Shape$i::~Shape$i() {}

double Shape$i::Area() const
{
    return 0.0;
}

bool Shape$i::operator()(const Point$i& at) const
{
    return at.x > 0;
}

// Already commented: left alone.
int Commented$i(int a);

template <typename T, typename U = std::less<T>>
T Largest$i(const std::vector<T>& items, U compare = U())
{
    return items.front();
}

static std::string Describe$i(const Shape$i& shape, int precision = 2, bool verbose = false)
{
    return std::string();
}
SOURCE
done
