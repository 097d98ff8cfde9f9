// Stand-in for the add-ons installer offered during setup: records its parameters, then ends.
#include "StartLog.h"

int main() { return OnduSample::RecordStart("addons.log"); }
