// The runtime folder Kestrun trusts, and what its socket takes from whom.

#include "app/SingleInstance.h"
#include "platform/UserFolders.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <QDataStream>
#include <QLocalSocket>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <set>
#include <thread>
#include <functional>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

// Sets an environment variable for the test's life.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

fs::path Folder(const TempFolder& base, const std::string& name, mode_t mode)
{
    const fs::path folder = base / name;
    fs::create_directory(folder);
    ::chmod(folder.c_str(), mode);
    return folder;
}

TEST(RuntimeFolderTest, OnlyAFolderNoOneElseMayWriteToCounts)
{
    TempFolder base;
    const struct {
        std::string name;
        std::function<fs::path()> make;
        std::string reason;
    } cases[] = {
        {"private", [&] { return Folder(base, "private", 0700); }, ""},
        {"readable by others", [&] { return Folder(base, "readable", 0755); }, ""},
        {"writable by all", [&] { return Folder(base, "shared", 01777); }, "other users may write to it"},
        {"writable by the group", [&] { return Folder(base, "group", 0770); }, "other users may write to it"},
        {"a file", [&] { return base.Write("file", "x"); }, "not a folder"},
        {"missing", [&] { return base / "missing"; }, "No such file or directory"},
        {"someone else's", [&] {
             const fs::path folder = Folder(base, "theirs", 0700);
             return ::geteuid() == 0 && ::chown(folder.c_str(), 65534, 65534) == 0 ? folder : fs::path();
         }, "it belongs to another user"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = c.make();
        if (folder.empty())
            continue;  // only root can give a folder away
        EXPECT_EQ(UntrustedFolderReason(folder), c.reason);
        ScopedVariable runtime("XDG_RUNTIME_DIR", folder.string());
        ScopedVariable temporary("TMPDIR", (base / "tmp").string());
        fs::create_directories(base / "tmp");
        std::string refused;
        const fs::path chosen = UserRuntimeFolder(&refused);
        EXPECT_EQ(refused, c.reason);
        const fs::path own = base / "tmp" / ("kestrun-" + std::to_string(::geteuid()));
        EXPECT_EQ(chosen, c.reason.empty() ? folder : own);
    }
    struct stat own {};
    ASSERT_EQ(::lstat((base / "tmp" / ("kestrun-" + std::to_string(::geteuid()))).c_str(), &own), 0);
    EXPECT_EQ(own.st_mode & 07777, 0700u);
}

TEST(RuntimeFolderTest, APrivateFolderSomeoneMadeALinkOfIsRefused)
{
    TempFolder base;
    ScopedVariable runtime("XDG_RUNTIME_DIR", Folder(base, "shared", 01777).string());
    ScopedVariable temporary("TMPDIR", base.path().string());
    fs::create_directory_symlink(base / "shared", base / ("kestrun-" + std::to_string(::geteuid())));
    EXPECT_EQ(UserRuntimeFolder(), fs::path());
}

// A request only a client that means harm sends: the name's length says more
// than any program name holds.
class SingleInstanceTest : public ::testing::Test {
protected:
    SingleInstanceTest()
    {
        EXPECT_FALSE(instance.Claim({}).has_value());
        EXPECT_TRUE(instance.Listen([this](const InstanceRequest& request) {
            served.push_back(request.program);
            return InstanceReply{0, "served"};
        }));
    }

    // Sends the kind and the announced length of the name, then `name`; the reply's status and text.
    std::pair<qint32, QString> Send(quint32 announced, const QByteArray& name)
    {
        QLocalSocket client;
        client.connectToServer(address + QStringLiteral(".socket"));
        EXPECT_TRUE(client.waitForConnected(2000));
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << qint32(InstanceRequest::Kind::Run) << announced;
        client.write(bytes + name);
        qint32 status = -1;
        QString text;
        for (int i = 0; i < 500; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QDataStream in(&client);
            in.startTransaction();
            in >> status >> text;
            if (in.commitTransaction())
                break;
            status = -1;
        }
        return {status, text};
    }

    TempFolder runtime;
    QString address = QFile::decodeName((runtime / "kestrun-test").c_str());
    SingleInstance instance{address};
    std::vector<std::string> served;
};

TEST_F(SingleInstanceTest, ARequestLargerThanAnyNameIsRefusedFromItsHeader)
{
    const QString name = QStringLiteral("Greet");
    const QByteArray utf16(reinterpret_cast<const char*>(name.utf16()), name.size() * 2);
    QByteArray bigEndian;
    for (qsizetype i = 0; i < utf16.size(); i += 2)
        bigEndian += utf16[i + 1], bigEndian += utf16[i];
    const struct {
        const char* what;
        quint32 announced;
        QByteArray sent;
        qint32 status;
    } cases[] = {
        {"a name", quint32(bigEndian.size()), bigEndian, 0},
        {"ten megabytes announced, none sent", 10'000'000, {}, 2},
        {"one byte more than the limit", quint32(kMaxRequestBytes - 7), QByteArray(kMaxRequestBytes - 7, 'x'), 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto [status, text] = Send(c.announced, c.sent);
        EXPECT_EQ(status, c.status);
        if (c.status == 2) {
            EXPECT_EQ(text.toStdString(), "Kestrun takes no request larger than 64 KiB: no program name is that long.");
        }
    }
    EXPECT_EQ(served, std::vector<std::string>{"Greet"});
}

TEST_F(SingleInstanceTest, ALaterStartOfTheSameUserHandsItsRequestOver)
{
    SingleInstance later(address);
    const auto deliver = [&](const std::string& program) {
        std::optional<InstanceReply> reply;
        std::atomic<bool> done = false;
        std::thread client([&] {
            reply = later.Claim({InstanceRequest::Kind::List, program});
            done = true;
        });
        while (!done)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        client.join();
        return reply.value_or(InstanceReply{-1, "none"});
    };
    EXPECT_EQ(deliver("x").text, "served");
    const InstanceReply tooLong = deliver(std::string(kMaxRequestBytes / 2, 'x'));
    EXPECT_EQ(tooLong.status, 2);
    EXPECT_EQ(served.size(), 1u) << "the long name never reached the running one";
}

// A busy Kestrun (its event loop stands still while a program runs) keeps
// every later start's request, also of one that gave up waiting, and serves
// each once when it is free again; a connection that never says anything
// does not keep its place.
TEST_F(SingleInstanceTest, WhileBusyEveryLaterStartLeavesItsRequestAndEachIsServedOnce)
{
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    std::strcpy(where.sun_path, QFile::encodeName(address + QStringLiteral(".socket")).constData());
    std::vector<int> clients;
    for (int k = 0; k < 200; ++k) {
        clients.push_back(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0));
        ASSERT_EQ(::connect(clients.back(), reinterpret_cast<sockaddr*>(&where), sizeof where), 0) << "start " << k;
    }
    for (std::size_t k = 0; k + 1 < clients.size(); ++k) {
        QByteArray bytes;
        QDataStream(&bytes, QIODevice::WriteOnly) << qint32(InstanceRequest::Kind::Run) << QString::number(k);
        EXPECT_EQ(::write(clients[k], bytes.constData(), bytes.size()), bytes.size());
        ::close(clients[k]);
    }
    char byte = 0;
    bool letGo = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((served.size() < 199 || !letGo) && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        letGo = letGo || ::read(clients.back(), &byte, 1) == 0;
    }
    ::close(clients.back());
    EXPECT_TRUE(letGo) << "a connection that says nothing is never closed";
    EXPECT_EQ(served.size(), 199u);
    EXPECT_EQ(std::set<std::string>(served.begin(), served.end()).size(), 199u);
}

}  // namespace
}  // namespace kestrun::test
