#!/usr/bin/env python3
"""Renders value templates as Home Assistant's MQTT entities do: in a sandboxed Jinja environment,
with `value` (the payload) and `value_json` (the payload read as JSON, where it is JSON).

    render_templates.py JOB RESULT

JOB holds {"templates": [...], "payloads": [...]}; RESULT gets the rendered texts, one list of
all payloads per template.
"""
import json
import sys

from jinja2.sandbox import ImmutableSandboxedEnvironment


def variables(payload):
    """value_json only where the payload is JSON, as Home Assistant does."""
    try:
        return {"value": payload, "value_json": json.loads(payload)}
    except ValueError:
        return {"value": payload}


def main(job_path, result_path):
    with open(job_path, encoding="utf-8") as job_file:
        job = json.load(job_file)
    environment = ImmutableSandboxedEnvironment()
    rendered = [[environment.from_string(template).render(variables(payload)) for payload in job["payloads"]]
                for template in job["templates"]]
    with open(result_path, "w", encoding="utf-8") as result_file:
        json.dump(rendered, result_file)


if __name__ == "__main__":
    main(*sys.argv[1:3])
