// The elevated child's role (process started with "run-as-admin").
#ifndef INSTALLER_MAIN_ELEVATION_H_
#define INSTALLER_MAIN_ELEVATION_H_

namespace lite_installer {

// Runs the elevated child and returns its process exit code: 0 when the
// run succeeded, -1 otherwise.
int ExecuteAsAdmin();

}  // namespace lite_installer

#endif  // INSTALLER_MAIN_ELEVATION_H_
