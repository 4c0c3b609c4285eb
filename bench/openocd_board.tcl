# OpenOCD's view of the simulated board: vantrel-board over remote_bitbang on 127.0.0.1,
# port PORT (set by the caller), one ARM7TDMI in little-endian order.
adapter driver remote_bitbang
remote_bitbang host 127.0.0.1
remote_bitbang port $PORT
transport select jtag
jtag newtap arm7 cpu -irlen 4 -ircapture 0x1 -irmask 0xf -expected-id 0x3f0f0f0f
target create arm7.cpu arm7tdmi -chain-position arm7.cpu -endian little
