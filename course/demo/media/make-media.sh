#!/bin/sh
# Rebuilds the demo course media in this folder:
#   fig01a.avi                          3 s, 320x240, 10 fps, MJPEG video with
#                                       an 8 kHz PCM chime, in AVI
#   title.avi, fig05a.avi               the same at 9 s and 5 fps: they outlast
#                                       the viewer's delay before it watches a video
#   v0101.wav, v0401.wav                3 s narration (espeak-ng if present,
#                                       otherwise a tone), PCM 16-bit mono 22050 Hz
#   pics/panel.png, pics/panel.jpg      drawing of a 60-cell module
#   pics/string.png                     four modules in series feeding an inverter
#
# Needs ffmpeg (with drawtext) and sox; espeak-ng is optional. The results are
# committed, so this only has to be run again when the media should change.
# Output is stable for a given ffmpeg/sox/espeak-ng version (bitexact flags,
# no metadata), but not across versions.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
cd "$here"
mkdir -p pics

font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
if [ ! -f "$font" ] || [ ! -f "$bold" ]; then
    echo "make-media.sh: DejaVu fonts not found (apt-get install fonts-dejavu-core)" >&2
    exit 1
fi
for tool in ffmpeg sox; do
    command -v "$tool" >/dev/null || { echo "make-media.sh: $tool is required" >&2; exit 1; }
done

ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
# Flags that keep the encoder name and dates out of the files.
exact="-fflags +bitexact -flags:v +bitexact -flags:a +bitexact -map_metadata -1"

# text FONT SIZE COLOUR X Y TEXT -> one drawtext filter (TEXT must not contain ' or :)
text() {
    printf "drawtext=fontfile=%s:fontsize=%s:fontcolor=%s:x=%s:y=%s:text='%s'" \
        "$1" "$2" "$3" "$4" "$5" "$6"
}

# A falling two-note chime used as the sound track of every video.
chime="aevalsrc=exprs='0.3*sin(2*PI*523.25*t)*exp(-1.5*t)+0.2*sin(2*PI*783.99*t)*exp(-1.5*(t-0.4))*gte(t\,0.4)':s=8000:d=3"

# video NAME QUALITY VIDEO-FILTERGRAPH [SECONDS [FPS]] (graph must end in [v];
# QUALITY is the MJPEG quantiser, higher is smaller; each file should stay
# under ~300 KB)
video() {
    ff -filter_complex "$3" -f lavfi -i "$chime" \
        -map "[v]" -map 0:a -t "${4:-3}" -r "${5:-10}" \
        -c:v mjpeg -q:v "$2" -pix_fmt yuvj420p -c:a pcm_s16le -ac 1 \
        $exact "$1.avi"
}

# --- title.avi: drifting sky gradient with the course name -----------------------
video title 20 "gradients=s=320x240:r=5:d=9:c0=0x0b2a4a:c1=0x2f6fa8:c2=0xf5a623:nb_colors=3:speed=0.03:seed=7,
drawbox=x=0:y=150:w=320:h=70:color=black@0.65:t=fill,
$(text "$bold" 24 white '(w-text_w)/2' 160 'Solar PV Fundamentals'),
$(text "$font" 14 0xffd75e '(w-text_w)/2' 194 'Tamberlyn demo course'),
format=yuvj420p[v]" 9 5

# --- fig01a.avi: photons enter the cell, electrons leave at the top ------------
video fig01a 6 "color=c=0x10243a:s=320x240:r=10:d=3,
drawbox=x=20:y=120:w=280:h=24:color=0x5a8fd0:t=fill,
drawbox=x=20:y=144:w=280:h=70:color=0x27538c:t=fill,
drawbox=x=20:y=114:w=280:h=6:color=0xc0c0c0:t=fill,
drawbox=x=20:y=214:w=280:h=6:color=0xc0c0c0:t=fill,
$(text "$font" 12 white 26 125 'n-type'),
$(text "$font" 12 white 26 170 'p-type'),
$(text "$bold" 18 0xffd75e '70+40*mod(t\,1.5)' '-10+110*mod(t\,1.5)' 'hv'),
$(text "$bold" 18 0xffd75e '190+40*mod(t+0.7\,1.5)' '-10+110*mod(t+0.7\,1.5)' 'hv'),
$(text "$bold" 16 0x9be7ff '230-30*mod(t\,1.5)' '118-100*mod(t\,1.5)' 'e-'),
$(text "$bold" 16 0x9be7ff '110-30*mod(t+0.7\,1.5)' '118-100*mod(t+0.7\,1.5)' 'e-'),
$(text "$bold" 15 white '(w-text_w)/2' 224 'How a solar cell works'),
format=yuvj420p[v]"

# --- fig05a.avi: a grey cover slides away to reveal the cells of a module ------
# Nine seconds at 5 fps: longer than the viewer's six-second grace before it
# watches a video, so the end of playback itself takes the video down.
video fig05a 20 "color=c=0xd8dde3:s=320x240:r=5:d=9[bg];
color=c=0x1d3f73:s=236x146:r=5:d=9,
drawgrid=w=23.6:h=24.33:t=2:color=white[cells];
color=c=0x9aa3ad:s=236x146:r=5:d=9[cover];
[cells][cover]overlay=x=0:y='-t*24':eval=frame[module];
[bg]drawbox=x=36:y=26:w=248:h=158:color=0x8c959e:t=fill[frame];
[frame][module]overlay=x=42:y=32,
$(text "$bold" 15 0x10243a '(w-text_w)/2' 196 '60 cells in series'),
$(text "$font" 12 0x10243a '(w-text_w)/2' 218 'one module, about 0.6 V per cell'),
format=yuvj420p[v]" 9 5

# --- narration -----------------------------------------------------------------
# sound NAME TEXT -> NAME.wav, exactly 3 s, PCM 16-bit mono 22050 Hz
sound() {
    tmp=$(mktemp --suffix=.wav)
    if command -v espeak-ng >/dev/null; then
        espeak-ng -v en-gb -s 165 -w "$tmp" "$2"
    else
        sox -n -r 22050 -c 1 -b 16 "$tmp" synth 2.5 sine 440:660 fade q 0.05 2.5 0.3 vol 0.4
    fi
    sox -V1 -D "$tmp" -r 22050 -c 1 -b 16 -e signed-integer "$1.wav" pad 0.15 3 trim 0 3
    rm -f "$tmp"
}
sound v0101 "Light in, current out, at the junction."
sound v0401 "The tracker keeps the array at the knee of the curve."

# --- pictures --------------------------------------------------------------------
# drawgrid covers the whole frame it is given, so each block of cells is drawn
# as its own small source ([cells...]) and overlaid onto the page.

# panel: a 10 x 6 grid of cells in a frame, with the junction box leads above.
ff -filter_complex "color=c=white:s=800x520:d=1,
drawbox=x=72:y=84:w=656:h=400:color=0x8c959e:t=fill[page];
color=c=0x1d3f73:s=640x384:d=1,drawgrid=w=64:h=64:t=4:color=white[cells];
[page][cells]overlay=x=82:y=94,
drawbox=x=360:y=30:w=80:h=40:color=0x222222:t=fill,
drawbox=x=330:y=46:w=30:h=4:color=0xc0392b:t=fill,
drawbox=x=440:y=46:w=30:h=4:color=0x222222:t=fill,
$(text "$bold" 28 0xc0392b 302 30 '+'),
$(text "$bold" 28 0x222222 476 30 '−'),
$(text "$font" 15 0x222222 '(w-text_w)/2' 8 'junction box (on the back)'),
$(text "$bold" 20 0x10243a '(w-text_w)/2' 490 '60 cells in series (6 x 10), about 36 V open circuit')[out]" \
    -map "[out]" -frames:v 1 $exact pics/panel.png
ff -i pics/panel.png -q:v 4 -pix_fmt yuvj420p $exact pics/panel.jpg

# string: four modules in series, + of one to − of the next, into an inverter.
graph="color=c=white:s=800x300:d=1[p0];"
for i in 0 1 2 3; do
    x=$((30 + i * 150))
    graph="$graph
color=c=0x1d3f73:s=100x140:d=1,drawgrid=w=20:h=20:t=2:color=0xdfe6ee[cells$i];
[p$i]drawbox=x=$x:y=60:w=110:h=150:color=0x8c959e:t=fill[f$i];
[f$i][cells$i]overlay=x=$((x + 6)):y=66,
$(text "$bold" 18 0x10243a $((x + 33)) 222 '40 V')"
    if [ "$i" -lt 3 ]; then
        graph="$graph,
drawbox=x=$((x + 110)):y=130:w=40:h=5:color=0x222222:t=fill"
    fi
    graph="$graph[p$((i + 1))];"
done
ff -filter_complex "$graph
[p4]drawbox=x=590:y=130:w=60:h=5:color=0xc0392b:t=fill,
drawbox=x=650:y=85:w=120:h=100:color=0x2e6b3f:t=fill,
$(text "$bold" 18 white 667 112 'Inverter'),
$(text "$font" 15 white 678 142 'DC to AC'),
$(text "$font" 15 0xc0392b 600 106 '10 A'),
$(text "$bold" 20 0x10243a '(w-text_w)/2' 262 'String voltage 4 x 40 V = 160 V, current 10 A in every module'),
$(text "$bold" 20 0x10243a 30 20 'Modules in series')[out]" \
    -map "[out]" -frames:v 1 $exact pics/string.png

ls -l title.avi fig01a.avi fig05a.avi v0101.wav v0401.wav pics/
