#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "testing/TempDir.h"

namespace kalvo::test {

// Debian's mosquitto as a child process on a free loopback port, with a configuration of its own
// in a temporary folder: never the system's service. Persistent, so sessions and retained
// documents survive Stop() and Start(). Or, with Options::only311, aedes (npm, installed by
// scripts/deps.sh's kalvo_install_test_broker), a broker that refuses MQTT 5: with passwords, but
// neither TLS nor persistence nor a log.
class MosquittoBroker {
public:
    struct Options {
        bool passwords = false;  // only user User with password Password may log in
        bool tls = false;        // TLS with a certificate for 127.0.0.1 signed by a test CA
        bool saveEachChange = false;  // sessions survive even Kill()
        int maxPacketSize = 0;        // the largest packet the broker takes; 0: its default
        bool expiredCertificate = false;  // with tls: the server's certificate ran out in 2020
        bool only311 = false;             // aedes, not mosquitto
    };
    static constexpr const char* User = "kalvo";
    static constexpr const char* Password = "burner-7-secret";

    explicit MosquittoBroker(Options options);
    MosquittoBroker() : MosquittoBroker(Options{}) {}
    ~MosquittoBroker();
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    // Ends the broker cleanly (it saves its sessions) and waits for it.
    void Stop();
    // Ends it at once, as a crash would: it saves nothing and acknowledges nothing more.
    void Kill();
    // Freezes it: connections stay open, but nothing that arrives is read or acknowledged.
    void Freeze();
    // Starts it again on the same port; returns when it accepts connections.
    void Start();
    // User User's password from the next start on (a password rotated on the broker).
    void SetPassword(const std::string& password);
    // What the broker has logged so far (errors, warnings, notices).
    std::string Log() const;

    int Port() const { return port_; }
    std::string Url() const;
    std::string CaFile() const { return folder_.file("ca.crt"); }
    const TempDir& Folder() const { return folder_; }
    pid_t Pid() const { return pid_; }

private:
    void WriteConfiguration();
    void SignExpired();  // the server's certificate, valid for one day in 2020
    void End(int signal);
    bool Launch();  // false when the broker ended before it listened (its port was taken)

    Options options_;
    TempDir folder_;
    int port_ = 0;
    pid_t pid_ = -1;
    std::string password_ = Password;
};

// Runs a program to its end with its output on this process's error output; throws
// std::runtime_error when it cannot be started or does not exit with 0.
void RunProgram(const std::vector<std::string>& command);

// A loopback TCP port nobody listens on at the moment of asking.
int FreeLoopbackPort();

}  // namespace kalvo::test
