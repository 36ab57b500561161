#!/usr/bin/env bash
# Takes the screenshots of the compiled help (res/help/chm/images/*.png, all but
# frame-format.png) from the real program: TavixTool under a private X server
# (Xvfb, 1366 x 768), fed by the camera-board simulator on a pseudo-terminal
# and driven with xdotool; crops with ImageMagick.
#   scripts/help-screenshots.sh [--keep] [--only formats] [build-dir]
#   (default build dir: build; --only formats takes only the stream-format
#   pictures stream-*.png)
# Needs Xvfb, xdotool and imagemagick. Runs a copy of the program in a throwaway
# folder with its own DevSet.ini, HOME and XDG folders: the build tree and the
# user's settings are left alone. The clicks are screen positions of the
# default layout at 1366 x 768; after a layout change, look at the pictures
# (and at $work/full-*.png, kept with --keep) before committing them.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
keep=0
only=
while [ $# -gt 0 ]; do
    arg=$1
    shift
    case "$arg" in
    --keep) keep=1 ;;
    --only)
        only=${1:-}
        shift || true
        [ "$only" = formats ] || {
            echo "help-screenshots: --only takes formats" >&2
            exit 1
        }
        ;;
    -h | --help)
        sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    *) build=$arg ;;
    esac
done
for tool in Xvfb xdotool import convert; do
    command -v "$tool" >/dev/null || {
        echo "help-screenshots: $tool is missing (apt-get install xvfb xdotool imagemagick)" >&2
        exit 1
    }
done
if [ ! -x "$build/TavixTool" ] || [ ! -x "$build/tools/camsim/tavix-camsim" ]; then
    echo "help-screenshots: build TavixTool and tavix-camsim in $build first" >&2
    exit 1
fi

out=$(pwd)/res/help/chm/images
work=$(mktemp -d /tmp/tavix-help-shots.XXXXXX)
mkdir -p "$work"/{home,config,data,cache,runtime,app}
chmod 700 "$work/runtime"
cp "$build/TavixTool" "$build/Help.chm" "$work/app/"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime LANG=C.UTF-8

display=:$((50 + RANDOM % 400))
Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
export DISPLAY=$display
tool=
sim=
stop_program() {
    for pid in $tool $sim; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    tool=
    sim=
}
cleanup() {
    stop_program
    kill "$xvfb" 2>/dev/null || true
    if [ "$keep" = 1 ]; then echo "screens kept in $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT INT TERM
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# Test pictures: a bright track on a dark floor (grayscale) and a small scene
# (colour), 60 x 80.
python3 - "$work" <<'EOF'
import random, sys
random.seed(7)
rows, columns = 60, 80
gray = []
for r in range(rows):
    t = (rows - 1 - r) / (rows - 1)
    centre, half = 40 + 18 * t * t, 22 - 12 * t
    for c in range(columns):
        d = abs(c - centre)
        if d < half - 1.5:
            v = 205 + random.randint(-12, 12)
        elif d < half + 1.5:
            v = 120 + random.randint(-20, 20)
        else:
            v = 45 + random.randint(-10, 10) + int(8 * t)
        gray.append(max(0, min(254, v)))
open(sys.argv[1] + '/track.pgm', 'wb').write(b'P5\n80 60\n255\n' + bytes(gray))
rgb = []
for r in range(rows):
    for c in range(columns):
        p = (110 + r * 3, 160 + r * 2, 230) if r < 22 else (60 + (c % 7) * 3, 150 - (r - 22), 60)
        if (r - 30) ** 2 + (c - 46) ** 2 < 120:
            p = (220, 40, 35)
        if 40 <= r <= 55 and 8 <= c <= 26:
            p = (240, 210, 40)
        rgb += p
open(sys.argv[1] + '/scene.ppm', 'wb').write(b'P6\n80 60\n255\n' + bytes(rgb))
EOF

click() { xdotool mousemove "$1" "$2" click "${3:-1}"; sleep "${4:-0.6}"; }
grab() { import -window root "$work/full-$1.png"; }
# crop NAME WxH+X+Y [png8 [COLOURS]]: the last full screen, cut to what
# matters; png8 (64 colours unless told) for pictures that would pass 80 KB
# in full colour.
crop() {
    if [ "${3:-}" = png8 ]; then
        convert "$work/full-$1.png" -crop "$2" +repage +dither -colors "${4:-64}" "PNG8:$out/$1.png"
    else
        convert "$work/full-$1.png" -crop "$2" +repage "$out/$1.png"
    fi
    echo "$out/$1.png: $(stat -c %s "$out/$1.png") bytes"
}

# start_program ROWS COLUMNS [program args] -- [simulator args]: the program
# with COM15 on the simulator at 921600 baud, full screen; without program
# arguments (a recording to replay) it chooses COM15. $stream_format, when
# set, is the stream format in the settings file (the simulator's --format
# is given with its arguments).
stream_format=
start_program() {
    local rows=$1 columns=$2
    shift 2
    local args=()
    while [ $# -gt 0 ] && [ "$1" != -- ]; do args+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    cat >"$work/app/DevSet.ini" <<EOF
[Data]
head=255
[Black]
row=$rows
column=$columns
threshold=100
bimage=1
bnumbr=1
[Colour]
row=$rows
column=$columns
[Com]
baund=921600
baunds=2400,4800,9600,14400,19200,38400,115200,921600
[Ports]
com15=$work/cam0
EOF
    [ -z "$stream_format" ] || printf '[Stream]\nformat=%s\n' "$stream_format" >>"$work/app/DevSet.ini"
    rm -f "$work/cam0"
    "$build/tools/camsim/tavix-camsim" --rows 60 --columns 80 --baud 921600 \
        --link "$work/cam0" "$@" >"$work/camsim.log" 2>&1 &
    sim=$!
    for _ in $(seq 50); do [ -L "$work/cam0" ] && break; sleep 0.1; done
    "$work/app/TavixTool" "${args[@]}" >"$work/tool.log" 2>&1 &
    tool=$!
    sleep 3
    for w in $(xdotool search --onlyvisible --name "摄像头测试工具"); do
        xdotool windowmove "$w" 0 0 windowsize "$w" 1366 768
    done
    sleep 1
    if [ ${#args[@]} -eq 0 ]; then
        click 353 18 1 0.7 # the port list
        click 283 63       # COM15
    fi
}

# --- Stream formats: the format list, a 1-bit picture with its listing, a
# JPEG on the colour page, a size from the stream (Arduino) ----------------
formats() {
    start_program 60 80 -- --pattern scene
    click 860 18 1 1 # the 数据格式 list
    grab stream-formats-list
    crop stream-formats-list 980x272+0+0 png8
    xdotool key Escape
    stop_program

    stream_format=fe01-bits
    start_program 60 80 -- --format fe01-bits --pattern scene --rows 60 --columns 80
    click 46 94 1 1     # 黑白数据
    click 997 120 1 0.3 # 根据界面尺寸放大像素
    click 1180 397 1 2  # 采集一幅图
    xdotool mousemove 900 700
    sleep 0.5
    grab stream-bits1
    crop stream-bits1 1046x590+216+0 png8
    stop_program

    stream_format=jpeg
    start_program 120 160 -- --format jpeg --between 'ACK IMG END\r\n' --pattern scene \
        --rows 120 --columns 160
    click 46 117 1 1.5 # 彩色数据
    click 976 82 1 0.3 # 根据界面尺寸放大像素
    click 1172 367 1 3 # 采集一幅图
    xdotool mousemove 900 700
    sleep 0.5
    grab stream-jpeg
    crop stream-jpeg 1030x528+216+0 png8 160
    stop_program

    stream_format=arduino
    start_program 60 80 -- --format arduino --pattern scene --rows 120 --columns 160
    click 46 94 1 1     # 黑白数据
    click 997 120 1 0.3 # 根据界面尺寸放大像素
    click 1180 397 1 3  # 采集一幅图
    xdotool mousemove 900 700
    sleep 0.5
    grab stream-arduino
    crop stream-arduino 1046x424+216+0 png8
    stop_program
    stream_format=
}
formats
[ "$only" = formats ] && exit 0

# --- Grayscale page: link, menu, zoom, pixel value, histogram ---------------
start_program 60 80 -- --file "$work/track.pgm"
click 46 94 1 1    # 黑白数据
click 997 120 1 0.3 # 根据界面尺寸放大像素
click 1029 397 1 3 # 连续采集
xdotool mousemove 900 600
sleep 1
grab link-health
crop link-health 760x28+606+742
click 1029 397 1 1  # 停止采集
click 1180 397 1 2  # 采集一幅图: a still, whole frame
click 300 100 3 0.8 # the picture's menu
grab picture-menu
crop picture-menu 570x290+216+40
click 358 246 1 0.5 # 显示直方图
xdotool mousemove 560 200 keydown ctrl click 4 keyup ctrl
sleep 1
xdotool mousemove 562 201
sleep 0.8
grab inspector
crop inspector 732x464+218+42

# --- Threshold slider and the listing's menu (capture stopped) -------------
xdotool mousemove 400 300 click --repeat 2 --delay 80 1
sleep 0.5
click 400 150 3 0.8 # the picture's menu
click 480 364 1 0.5 # 按阈值显示二值化图像
click 1180 397 1 2  # 采集一幅图
xdotool mousemove 1195 179 mousedown 1 mousemove 1200 179 sleep 0.2 mousemove 1215 179 \
    sleep 0.2 mouseup 1
sleep 1
xdotool mousemove 900 450
sleep 0.5
grab threshold
crop threshold 1046x548+216+42
click 400 560 1 0.2
xdotool mousemove 400 600 mousedown 1 mousemove 500 620 mousemove 600 640 mouseup 1
sleep 0.3
click 560 640 3 0.8 # the listing's menu
xdotool mousemove 620 718 # 复制为 C 数组
sleep 1
grab listing-menu
crop listing-menu 640x230+220+520
stop_program

# --- Diagnosis: the page set to 120 x 160, the board sends 60 x 80 ---------
start_program 120 160 -- --pattern moving
click 46 94 1 1
click 300 100 3 0.8
click 370 224 1 5 # 诊断串口数据…: listens 3 s
grab diagnosis
crop diagnosis 662x433+342+128 png8
stop_program

# --- Colour page: the channel menu, then a recording ------------------------
start_program 60 80 -- --colour --file "$work/scene.ppm"
click 46 117 1 1.5  # 彩色数据
click 976 82 1 0.3  # 根据界面尺寸放大像素
click 1172 367 1 2  # 采集一幅图
click 560 200 3 0.8 # the picture's menu
xdotool mousemove 620 412 # 显示通道
sleep 1
grab channel-menu
crop channel-menu 742x548+218+42
xdotool key Escape key Escape
click 1020 367 1 1.5 # 连续采集
click 300 100 3 0.8
click 350 290 1 1.5 # 录制…
xdotool key ctrl+a type --delay 20 "$work/scene.tavixrec"
xdotool key Return
sleep 4
click 300 100 3 0.8
click 350 290 1 1 # 录制… off
click 1020 367 1 1
stop_program

# --- Replay of that recording, played to its end ---------------------------
start_program 60 80 "$work/scene.tavixrec" --
xdotool mousemove 700 650
sleep 4
grab replay-bar
crop replay-bar 720x68+0+0
stop_program
