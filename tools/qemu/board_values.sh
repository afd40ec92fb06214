# shellcheck shell=bash
# The board a build is for, as cmake/board.cmake writes it into the build folder
# (board/board.env: NAME=VALUE lines, '#' comments). Sourced by boot.sh; every boot of a build's
# image takes its board from there.

# Reads board values file $1 into board_name; board_probe_port, board_sio_index_port,
# board_sio_data_port, board_delay_port and board_uart_base (0x hex); board_uart_irq and
# board_uart_divisor (decimal); and board_uart_line ("8N2"). Returns 1 with
# board_error set to a one-line reason when the file or one of those values is missing or
# malformed.
# shellcheck disable=SC2034 # the values are read by the scripts that source this file
read_board() {
  local file=$1 number=0 text key value
  local -A variable=([BOARD_NAME]=board_name [PROBE_PORT]=board_probe_port
    [SIO_INDEX_PORT]=board_sio_index_port [SIO_DATA_PORT]=board_sio_data_port
    [DELAY_PORT]=board_delay_port [UART_BASE]=board_uart_base [UART_IRQ]=board_uart_irq [UART_DIVISOR]=board_uart_divisor
    [UART_LINE]=board_uart_line)
  local -A pattern=([BOARD_NAME]='^[A-Za-z0-9][A-Za-z0-9_.-]*$' [PROBE_PORT]='^0x[0-9a-f]{1,4}$'
    [SIO_INDEX_PORT]='^0x[0-9a-f]{1,4}$' [SIO_DATA_PORT]='^0x[0-9a-f]{1,4}$'
    [DELAY_PORT]='^0x[0-9a-f]{1,4}$' [UART_BASE]='^0x[0-9a-f]{1,4}$' [UART_IRQ]='^([0-9]|1[0-5])$'
    [UART_DIVISOR]='^[1-9][0-9]{0,4}$' [UART_LINE]='^[5-8][NOEMS][12]$')
  board_name='' board_probe_port='' board_sio_index_port='' board_sio_data_port=''
  board_delay_port='' board_uart_base='' board_uart_irq='' board_uart_divisor='' board_uart_line=''
  board_error=''
  if [[ ! -f $file || ! -r $file ]]; then
    board_error="board values not found: $file (configure the build first)"
    return 1
  fi
  while IFS= read -r text || [[ -n $text ]]; do
    number=$((number + 1))
    key=${text%%=*}
    value=${text#*=}
    [[ $text == *=* && -n ${variable[$key]:-} ]] || continue # comments, names not used here
    if [[ ! $value =~ ${pattern[$key]} ]]; then
      board_error="$file:$number: $key: '$value' is not a value boot.sh can use"
      return 1
    fi
    printf -v "${variable[$key]}" '%s' "$value"
  done <"$file"
  for key in BOARD_NAME PROBE_PORT SIO_INDEX_PORT SIO_DATA_PORT DELAY_PORT UART_BASE UART_IRQ \
    UART_DIVISOR UART_LINE; do
    value=${variable[$key]}
    if [[ -z ${!value} ]]; then
      board_error="$file: no $key line"
      return 1
    fi
  done
}
