// The line gps-sim talks on: a new pseudo-terminal or a given tty, and the
// COMn link through which the serial library finds it.
#pragma once

#include <memory>
#include <string>

class SimPort {
  public:
    ~SimPort();
    SimPort(const SimPort&) = delete;
    SimPort& operator=(const SimPort&) = delete;

    // A raw pseudo-terminal; path() is its slave side. baud 0 leaves the speed.
    static std::unique_ptr<SimPort> OpenPseudoTerminal(int baud, std::string& error);
    // A tty, raw 8N1 at baud (0 leaves the speed).
    static std::unique_ptr<SimPort> OpenDevice(const std::string& path, int baud,
                                               std::string& error);

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    bool isPseudoTerminal() const { return pseudo_; }

    // Pseudo-terminal only: whether someone has the slave side open now. The
    // master reports a hang-up while nobody does.
    bool readerAttached() const;
    // Pseudo-terminal only: throws away what the last reader left unread, so
    // that the next one does not start with old bursts, as on a real line.
    void dropUnreadOutput() const;

  private:
    SimPort(int fd, std::string path, bool pseudo)
        : fd_(fd), path_(std::move(path)), pseudo_(pseudo) {}

    int fd_;
    std::string path_;
    bool pseudo_;
};

// A symbolic link to the port, removed again on destruction if it still
// points there.
class PortLink {
  public:
    PortLink() = default;
    ~PortLink();
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;

    // Replaces an old symbolic link at linkPath; refuses to replace anything else.
    bool create(const std::string& linkPath, const std::string& target, std::string& error);
    void remove();

  private:
    std::string linkPath_;
    std::string target_;
};
