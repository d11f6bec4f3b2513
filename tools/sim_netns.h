#pragma once
// A private network for zuno-sim, so that clients which look for the VXI-11 portmapper on port
// 111 only find it without root: a new user and network namespace where this process is root
// and the loopback interface is up. And the command run inside it, beside the simulator.
#include <sys/types.h>

#include <string>
#include <vector>

namespace sim {

// Enters the namespaces. Must be called while the process has one thread. Throws
// std::runtime_error saying why it cannot (unprivileged user namespaces switched off, for one).
void enterPrivateNetwork();

// Starts `command` (a program looked up in PATH, then its arguments) as a child with the
// signal dispositions a fresh program expects; returns its process id. Throws
// std::runtime_error when it cannot fork; a program that cannot be run exits with 127.
pid_t startCommand(const std::vector<std::string>& command);

// Waits for `child` and returns its exit status as a shell reports it (128 + signal number).
int exitStatusOf(pid_t child);

}  // namespace sim
