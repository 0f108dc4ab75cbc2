class Settings;

// 读取配置
std::string Settings::Read(const std::string& 键, const std::string& 缺省 = "无") const;

enum class 模式 : unsigned { 快, 慢 };

void 显示(std::vector<std::pair<int, int>> 点, int 宽 = 80);
