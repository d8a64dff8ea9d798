// SPDX-License-Identifier: Apache-2.0
#ifndef USBORVA_PLATFORM_POSIX_HOME_FOLDER_H_
#define USBORVA_PLATFORM_POSIX_HOME_FOLDER_H_

#include <string>

namespace usborva::posix {

// The user's home folder: $HOME when it is an absolute path, else the password database's
// entry for the real user, else empty (a service account with neither has no home; the
// caller decides where its files go then). A relative $HOME is ignored, since it would put
// the user's files wherever the process happens to run.
std::string HomeFolder();

}  // namespace usborva::posix

#endif  // USBORVA_PLATFORM_POSIX_HOME_FOLDER_H_
