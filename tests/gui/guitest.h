// The window tests: each QtTest class registers itself and runs as its own
// ctest case (the class name is the program's first argument), on the
// off-screen platform, in a scratch directory of its own.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

namespace trosk::testing {

using TestFactory = std::function<std::unique_ptr<QObject>()>;
int registertest(const char* name, TestFactory factory);

}  // namespace trosk::testing

#define TROSK_GUI_TEST(Class)                                                            \
  [[maybe_unused]] static const int registered##Class = trosk::testing::registertest( \
      #Class, [] { return std::make_unique<Class>(); })
