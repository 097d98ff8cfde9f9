// Stand-in for the player's shell-integration companion: records its switches, then ends.
#include "StartLog.h"

int main() { return OnduSample::RecordStart("elevator.log"); }
