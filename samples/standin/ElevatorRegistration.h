// The player's shell registration that the companion program writes and takes back.
#pragma once

#include <string>
#include <vector>

namespace OnduSample {

// An audio file type the player opens.
struct TAudioType {
  const char* Extension;    // ".mp3"
  const char* Description;  // the type's name in the shell
  const char* MimeType;     // what POSIX desktops call it
};

// The documented list (samples/README.md), in the order the keys are written.
const std::vector<TAudioType>& AudioTypes();

// The player's class for a type: "ONDU.AssocFile.MP3" for ".mp3".
std::string ProgIdOf(const TAudioType& type);

// Every key lives in HKEY_LOCAL_MACHINE (the companion runs with administrator rights).
// Each step writes its own keys completely and may be repeated; Unregister removes what
// any step wrote. Failures raise KVL::Platform::EKVLRegistryError or the file errors.
class TElevatorRegistration {
public:
  // playerExe: the player's full path; elevatorExe: this program's.
  TElevatorRegistration(std::string playerExe, std::string elevatorExe);

  // /REG=L1: the application, its capabilities and RegisteredApplications, App Paths, and
  // the Applications entry that "Open with" lists.
  void RegisterApplication();
  // /REG=D1: the media client entry of the default-programs list.
  void RegisterClient();
  // /REG=R1: the player's classes with their open and enqueue verbs.
  void RegisterProgIds();
  // /REG=M1: play and enqueue verbs on folders and on every audio file.
  void RegisterContextMenu();
  // /REG=R2: each audio type's default class becomes the player's; the earlier default is
  // kept to be given back by Unregister. Writes the classes too, which the types point to.
  void AssociateFiles();
  // /REG=U: removes all of the above and gives the audio types back their earlier default
  // class where it is still the player's.
  void Unregister();

private:
  std::string OpenCommand() const;
  std::string EnqueueCommand() const;
  std::string Icon() const;
  void WriteProgId(const TAudioType& type);

  std::string playerExe_;
  std::string elevatorExe_;
};

} // namespace OnduSample
