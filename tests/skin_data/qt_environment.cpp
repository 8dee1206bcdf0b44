// The skin's pictures are drawn and decoded with Qt's image classes, which need an application
// object for their fonts and image plugins; one lives for the whole test run.
#include <QByteArray>
#include <QGuiApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

class QtEnvironment : public testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
        application_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
    void TearDown() override { application_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "skin_data_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> application_;
};

[[maybe_unused]] testing::Environment* const kQtEnvironment =
    testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace
