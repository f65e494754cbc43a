#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

#include "service/StorageService.h"

// A service over a fresh root under the temp folder, removed with the fixture.
class ServiceFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        service = std::make_unique<StorageService>(dir_.filePath(QStringLiteral("service")));
        ASSERT_TRUE(service->ensureCreated());
    }
    // The service's journal is written as it goes: it goes before the folder it writes into.
    void TearDown() override { service.reset(); }

    QString root() const { return service->root(); }
    QString tempPath(const QString& name) const { return dir_.filePath(name); }

    static void writeFile(const QString& path, qsizetype bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(bytes, 'x'));
    }

    std::unique_ptr<StorageService> service;

private:
    QTemporaryDir dir_;
};
