#include "testmain.h"

#include <QApplication>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

std::map<std::string, TestMain::Run> &cases()
{
    static std::map<std::string, TestMain::Run> all;
    return all;
}

} // namespace

bool TestMain::add(const char *name, Run run)
{
    return cases().emplace(name, run).second;
}

int main(int argc, char *argv[])
{
    const auto found = argc >= 2 ? cases().find(argv[1]) : cases().end();
    if (found == cases().end()) {
        std::fprintf(stderr, "usage: %s CASE [QtTest's arguments], CASE one of:\n", argv[0]);
        for (const auto &[name, run] : cases())
            std::fprintf(stderr, "  %s\n", name.c_str());
        return 2;
    }
    // QtTest sees the program and its own arguments, without the case's name.
    std::vector<char *> arguments{argv[0]};
    arguments.insert(arguments.end(), argv + 2, argv + argc);
    int count = int(arguments.size());
    arguments.push_back(nullptr);
    QApplication app(count, arguments.data());
    app.setAttribute(Qt::AA_Use96Dpi, true);
    return found->second(count, arguments.data());
}
