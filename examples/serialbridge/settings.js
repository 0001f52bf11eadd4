// Where the bridge's two ends are. A later file in project.txt may set
// these again (a device path that changes from run to run, a pseudo-terminal).
var SERIAL_PORT = "/dev/ttyUSB0";  // a port name (ttyUSB0) or any device path
var SERIAL_BAUD = 9600;            // with DATABITS 8, PARITY "N", STOPBITS 1
var TCP_PORT = 7300;               // the port TCP clients connect to
