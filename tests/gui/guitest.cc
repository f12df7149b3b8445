#include "guitest.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <map>
#include <string>

namespace trosk::testing {
namespace {

std::map<std::string, TestFactory>& registry() {
  static std::map<std::string, TestFactory> tests;
  return tests;
}

}  // namespace

int registertest(const char* name, TestFactory factory) {
  registry().emplace(name, std::move(factory));
  return 0;
}

}  // namespace trosk::testing

// gui_tests [Class [QtTest options]]: one class, or all of them.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // What the window remembers between starts goes to a store of the tests' own.
  QTemporaryDir store;
  QCoreApplication::setOrganizationName(QStringLiteral("trosk-tests"));
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, store.path());
  const auto& tests = trosk::testing::registry();
  std::string only = argc > 1 && argv[1][0] != '-' ? argv[1] : "";
  if (!only.empty() && !tests.count(only)) {
    std::fprintf(stderr, "no test class %s\n", only.c_str());
    return 2;
  }
  QStringList args{QString::fromLocal8Bit(argv[0])};
  for (int i = only.empty() ? 1 : 2; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  int failed = 0;
  for (const auto& [name, make] : tests) {
    if (!only.empty() && name != only) continue;
    std::unique_ptr<QObject> test = make();
    failed += QTest::qExec(test.get(), args);
  }
  return failed == 0 ? 0 : 1;
}
