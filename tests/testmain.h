#pragma once

// All the QtTest cases are one program, so that Qt's headers are compiled a few times rather
// than once a case. Each file names its case once, at its end:
//     DIALTRACE_TEST_CASE(TestRules, "rules")
// and CTest runs `dialtrace-tests rules [QtTest's own arguments]`.

#include <QTest>

namespace TestMain {

// Runs a case with the arguments QtTest is given; a QApplication exists by then.
using Run = int (*)(int argc, char **argv);
bool add(const char *name, Run run);

template <typename Case> int execute(int argc, char **argv)
{
    Case test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

} // namespace TestMain

#define DIALTRACE_TEST_CASE(Case, name)                                                            \
    static const bool registered##Case = TestMain::add(name, &TestMain::execute<Case>);
