#include "tests/mqtt/support/MosquittoBroker.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

namespace kalvo::test {

namespace {

using Clock = std::chrono::steady_clock;
// Generous: a loaded 2-core machine may take seconds to start a process.
constexpr auto StartLimit = std::chrono::seconds(30);
constexpr int PortAttempts = 5;

pid_t Spawn(const std::vector<std::string>& command)
{
    std::vector<std::string> args = command;
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + command[0]);
    return pid;
}

sockaddr_in Loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool Accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

std::string UserName()
{
    const passwd* user = ::getpwuid(::getuid());
    return user ? user->pw_name : "root";
}

}  // namespace

void RunProgram(const std::vector<std::string>& command)
{
    const pid_t pid = Spawn(command);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(command[0] + " failed");
}

int FreeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("no free loopback port");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

MosquittoBroker::MosquittoBroker(Options options) : options_(options)
{
    if (options_.passwords)
        SetPassword(Password);
    if (options_.tls) {
        const auto file = [this](const char* name) { return folder_.file(name); };
        WriteFileBytes(file("server.ext"), "subjectAltName=IP:127.0.0.1\n");
        RunProgram({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-keyout", file("ca.key"), "-out", file("ca.crt"), "-days", "2", "-subj",
                    "/CN=Kalvo test CA"});
        RunProgram({"openssl", "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                    "-keyout", file("server.key"), "-out", file("server.csr"), "-subj", "/CN=127.0.0.1"});
        if (options_.expiredCertificate)
            SignExpired();
        else
            RunProgram(
                {"openssl", "x509", "-req", "-in", file("server.csr"), "-CA", file("ca.crt"), "-CAkey", file("ca.key"),
                    "-CAcreateserial", "-out", file("server.crt"), "-days", "2", "-extfile", file("server.ext")});
    }
    for (int attempt = 0; attempt < PortAttempts; ++attempt) {
        port_ = FreeLoopbackPort();
        WriteConfiguration();
        if (Launch())
            return;
    }
    throw std::runtime_error(options_.only311 ? "aedes did not start: are its npm packages there (scripts/test installs them)?"
                                              : "mosquitto did not start; see " + folder_.file("mosquitto.log"));
}

MosquittoBroker::~MosquittoBroker()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
}

std::string MosquittoBroker::Url() const
{
    return std::string(options_.tls ? "mqtts" : "mqtt") + "://127.0.0.1:" + std::to_string(port_);
}

void MosquittoBroker::Stop()
{
    End(SIGTERM);
}

void MosquittoBroker::Kill()
{
    End(SIGKILL);
}

void MosquittoBroker::Freeze()
{
    ::kill(pid_, SIGSTOP);
}

void MosquittoBroker::End(int signal)
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, signal);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

void MosquittoBroker::Start()
{
    if (pid_ <= 0 && !Launch())
        throw std::runtime_error("mosquitto did not start again; see " + folder_.file("mosquitto.log"));
}

void MosquittoBroker::SignExpired()
{
    // Only "openssl ca" sets a certificate's dates freely.
    const auto file = [this](const char* name) { return folder_.file(name); };
    WriteFileBytes(file("index.txt"), "");
    WriteFileBytes(file("serial"), "01\n");
    WriteFileBytes(file("ca.cnf"),
        "[ca]\ndefault_ca = test\n[test]\ndatabase = " + file("index.txt")
            + "\nnew_certs_dir = " + folder_.path().string() + "\nserial = " + file("serial")
            + "\ndefault_md = sha256\npolicy = any\nunique_subject = no\n"
              "[any]\ncommonName = supplied\n");
    RunProgram({"openssl", "ca", "-batch", "-notext", "-config", file("ca.cnf"), "-cert", file("ca.crt"), "-keyfile",
        file("ca.key"), "-in", file("server.csr"), "-out", file("server.crt"), "-startdate", "20200101000000Z",
        "-enddate", "20200102000000Z", "-extfile", file("server.ext")});
}

void MosquittoBroker::SetPassword(const std::string& password)
{
    password_ = password;
    if (!options_.only311)
        RunProgram({"mosquitto_passwd", "-b", "-c", folder_.file("passwords"), User, password});
}

std::string MosquittoBroker::Log() const
{
    std::ifstream file(folder_.file("mosquitto.log"), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void MosquittoBroker::WriteConfiguration()
{
    std::string text = "listener " + std::to_string(port_) + " 127.0.0.1\n" +
                       "user " + UserName() + "\n" +
                       "persistence true\n" +
                       "persistence_location " + folder_.path().string() + "/\n" +
                       "log_dest file " + folder_.file("mosquitto.log") + "\n" +
                       "log_type error\nlog_type warning\nlog_type notice\n" +
                       "max_queued_messages 0\n";  // an offline subscriber of a test misses nothing
    if (options_.maxPacketSize)
        text += "max_packet_size " + std::to_string(options_.maxPacketSize) + "\n";
    if (options_.saveEachChange)
        text += "autosave_on_changes true\nautosave_interval 1\n";
    if (options_.passwords)
        text += "allow_anonymous false\npassword_file " + folder_.file("passwords") + "\n";
    else
        text += "allow_anonymous true\n";
    if (options_.tls)
        text += "cafile " + folder_.file("ca.crt") + "\ncertfile " + folder_.file("server.crt") + "\nkeyfile " +
                folder_.file("server.key") + "\n";
    WriteFileBytes(folder_.file("mosquitto.conf"), text);
}

bool MosquittoBroker::Launch()
{
    std::vector<std::string> command{"mosquitto", "-c", folder_.file("mosquitto.conf")};
    if (options_.only311) {
        command = {"node", KALVO_AEDES_BROKER, std::to_string(port_)};
        if (options_.passwords)
            command.insert(command.end(), {User, password_});
    }
    pid_ = Spawn(command);
    const auto deadline = Clock::now() + StartLimit;
    while (Clock::now() < deadline) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        if (Accepts(port_))
            return true;
        ::poll(nullptr, 0, 20);
    }
    throw std::runtime_error("mosquitto did not listen within the limit");
}

}  // namespace kalvo::test
