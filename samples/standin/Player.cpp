// Stand-in for the player's main program: records that it was started, then ends.
#include "StartLog.h"

int main() { return OnduSample::RecordStart("started.log"); }
