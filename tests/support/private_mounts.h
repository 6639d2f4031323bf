// Running part of a test in a mount namespace of its own (POSIX), so that it can mount and unmount
// folders that no other process sees, and that vanish with it.
#pragma once

#include <functional>
#include <string>

namespace testing_support {

// Runs `body` in a forked child that first unshares its mount namespace and makes every mount in
// it private. Returns why that was refused (the test then skips with the reason), or an empty
// text once the body ran; `failed` then tells whether the body recorded a GoogleTest failure
// (the child prints its failures as they happen). The child has no thread but the one that
// forked: the body must not wait on the thread pool's workers. Trees that the body mounts over belong to the
// parent: a TempDir made in the child would be removed while its mounts are still there.
std::string RunWithPrivateMounts(const std::function<void()>& body, bool& failed);

// Mounts `source` on `target` (a bind mount when `type` is null, else a new file system of that
// type); false, with a test failure, when that fails.
bool Mount(const std::string& source, const std::string& target, const char* type = nullptr);

} // namespace testing_support
