#include "instrument/devfile.hpp"
